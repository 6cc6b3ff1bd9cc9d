#include "key_filter.h"

#include <QKeyEvent>
#include <string>

#include "latin1.h"

namespace varnix {

std::optional<char> TypedCharacter(const QKeyEvent& event) {
    const int key = event.key();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return '\r';
        case Qt::Key_Backspace:
            return '\b';
        case Qt::Key_Escape:
            return '\x1b';
        // Editing and moving keys type nothing, whatever text the platform attaches (X
        // gives Delete the text U+007F); the control handles them as usual.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
        case Qt::Key_Insert:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return std::nullopt;
        default:
            break;
    }
    const auto modifiers = event.modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z) {
        return static_cast<char>(key - Qt::Key_A + 1);
    }
    // One character, whether it takes one UTF-16 unit or two, types its byte for the
    // device; a text of several characters types none.
    const std::string typed = Utf8ToLatin1(event.text().toStdString());
    if (typed.size() != 1) {
        return std::nullopt;
    }
    return typed.front();
}

KeyFilter::KeyFilter(QObject* control, ErrorReport& report, Handler handler)
    : QObject(control), report_(report), handler_(std::move(handler)) {
    control->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto typed = TypedCharacter(*static_cast<QKeyEvent*>(event));
    if (!typed) {
        return false;
    }
    char key = *typed;
    // Dropped when the filter aborts (or fails); passed on otherwise.
    return !report_.Guard([&] { handler_(key); });
}

}  // namespace varnix
