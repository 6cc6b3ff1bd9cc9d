// The general error report and the guard every event handler runs in: Qt never sees an
// exception. The silent abort is dropped; any other error is shown in a modal box with a
// stop icon and OK, titled after the program, after the handler has unwound.
#pragma once

#include <QCloseEvent>
#include <QObject>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "message_boxes.h"
#include "silent_abort.h"

namespace varnix {

// The error's own text, with "." appended when its last character sorts after ".".
std::string ErrorReportText(std::string message);

// The executable's file name without folder, cut at its first ".", every letter after the
// first in lower case.
std::string ProgramTitle(std::string_view executablePath);

class ErrorReport : public QObject {
    Q_OBJECT
  public:
    explicit ErrorReport(MessageBoxes& boxes) : boxes_(boxes) {}

    // Shows the report at once; for code that runs outside any event dispatch.
    void ShowNow(const std::string& message);
    // Shows the report from the event loop, after the current handler has returned.
    void ShowLater(const std::string& message);

    // Runs a handler body; true when it ended normally.
    template <typename Body>
    bool Guard(Body&& body) noexcept {
        try {
            std::forward<Body>(body)();
            return true;
        } catch (const SilentAbort&) {
        } catch (const std::exception& error) {
            ShowLater(error.what());
        } catch (...) {
            ShowLater("Unknown error");
        }
        return false;
    }

    // The guard as a function, for components that take one.
    std::function<void(const std::function<void()>&)> AsEventGuard() {
        return [this](const std::function<void()>& body) { Guard(body); };
    }

    // A close handler: the close goes ahead only when the body ends normally, so a silent
    // abort (or any error) keeps the window open.
    template <typename Body>
    void GuardClose(QCloseEvent* event, Body&& body) noexcept {
        event->ignore();
        if (Guard(std::forward<Body>(body))) {
            event->accept();
        }
    }

  private:
    MessageBoxes& boxes_;
};

}  // namespace varnix
