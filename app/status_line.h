// The status bar's single panel: a label widget spanning the bar, so that assistive
// technology reads it as an ordinary label and each new text as a change.
#pragma once

#include <QLabel>
#include <string>

class QStatusBar;

namespace varnix {

class StatusLine : public QLabel {
    Q_OBJECT
  public:
    // Texts are UTF-8 both ways.
    StatusLine(QStatusBar* bar, const std::string& initialText);
    void SetText(const std::string& text);
    std::string Text() const { return text().toStdString(); }
};

}  // namespace varnix
