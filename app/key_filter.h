// Key filters see the characters a key press types as the single bytes the device would
// be given for them: Enter 13, Backspace 8, Escape 27, Ctrl+letter its control code
// (Ctrl+C 3, Ctrl+V 22, Ctrl+X 24), otherwise the Latin-1 byte of the key's one
// character, or '?' for a character outside Latin-1 (the conversion of every text sent,
// common/latin1.h). Such a byte is no UTF-8 text: filters compare it with ASCII only.
// Editing keys (Delete, arrows, Home, End, the page keys, Tab) never reach them, whatever
// text the platform gives them.
// A filter drops the character by throwing the silent abort; the key press then never
// reaches the control, which is how Ctrl+V is kept from pasting.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "error_report.h"

class QKeyEvent;

namespace varnix {

std::optional<char> TypedCharacter(const QKeyEvent& event);

class KeyFilter : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(char& key)>;
    // Installs itself on `control` and lives as long as it.
    KeyFilter(QObject* control, ErrorReport& report, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ErrorReport& report_;
    Handler handler_;
};

}  // namespace varnix
