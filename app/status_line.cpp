#include "status_line.h"

#include <QStatusBar>

namespace varnix {

StatusLine::StatusLine(QStatusBar* bar, const std::string& initialText) : QLabel(bar) {
    setObjectName("StatusPanel");
    setAccessibleDescription("Status");
    SetText(initialText);
    bar->addWidget(this, 1);
}

void StatusLine::SetText(const std::string& text) {
    setText(QString::fromStdString(text));
}

}  // namespace varnix
