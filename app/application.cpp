#include "application.h"

#include <cstdio>
#include <exception>
#include <string>

#include "error_report.h"

namespace varnix {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The desktop matches the window to its entry, and so to the icon and name, by this.
    setDesktopFileName(QStringLiteral(VARNIX_DESKTOP_ID));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    std::string message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const SilentAbort&) {
        return true;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = "Unknown error";
    }
    if (report_ != nullptr) {
        report_->ShowLater(message);
    } else {
        std::fprintf(stderr, "%s\n", ErrorReportText(message).c_str());
    }
    return true;
}

}  // namespace varnix
