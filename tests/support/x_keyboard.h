// Real key presses through the X server (the XTEST extension), as a user's keyboard makes
// them: they reach the program through the X keyboard map and Qt's xcb platform, with
// whatever text X attaches. Only for tests that run on the xcb platform.
#pragma once

#include <QObject>

struct _XDisplay;

namespace varnix::testing {

class XKeyboard : public QObject {
  public:
    XKeyboard();
    ~XKeyboard() override;

    // True when the program runs on an X server this keyboard can type into.
    bool Ready() const { return display_ != nullptr; }
    // Presses and releases the key with the X keysym name ("Delete", "Tab", "7"), with
    // Shift held when asked, and waits until the program has taken the key in. False
    // when it never arrived (no window of the program had the keyboard focus).
    bool Tap(const char* keysym, bool shift = false);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    _XDisplay* display_ = nullptr;
    int releases_ = 0;
};

}  // namespace varnix::testing
