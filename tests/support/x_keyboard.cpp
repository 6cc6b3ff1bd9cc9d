#include "x_keyboard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// Xlib names an event type KeyRelease as Qt does.
#undef KeyRelease

namespace varnix::testing {

XKeyboard::XKeyboard() {
    if (QGuiApplication::platformName() != "xcb") {
        return;
    }
    display_ = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (display_ != nullptr && !XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
    qApp->installEventFilter(this);
}

XKeyboard::~XKeyboard() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

bool XKeyboard::eventFilter(QObject* watched, QEvent* event) {
    // Each key reaches its window once, before the window hands it to a widget.
    if (event->type() == QEvent::KeyRelease && watched->isWindowType()) {
        ++releases_;
    }
    return false;
}

bool XKeyboard::Tap(const char* keysym, bool shift) {
    if (display_ == nullptr) {
        return false;
    }
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    const KeyCode shiftCode = XKeysymToKeycode(display_, XStringToKeysym("Shift_L"));
    if (code == 0 || shiftCode == 0) {
        return false;
    }
    const int expected = releases_ + (shift ? 2 : 1);
    if (shift) {
        XTestFakeKeyEvent(display_, shiftCode, True, CurrentTime);
    }
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (shift) {
        XTestFakeKeyEvent(display_, shiftCode, False, CurrentTime);
    }
    XSync(display_, False);
    return QTest::qWaitFor([&] { return releases_ >= expected; }, 5000);
}

}  // namespace varnix::testing
