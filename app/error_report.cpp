#include "error_report.h"

#include <QCoreApplication>
#include <cctype>

namespace varnix {

std::string ErrorReportText(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }
    return message;
}

std::string ProgramTitle(std::string_view executablePath) {
    const auto slash = executablePath.find_last_of("/\\");
    std::string_view name =
        slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    for (std::size_t i = 1; i < title.size(); ++i) {
        title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
    }
    return title;
}

void ErrorReport::ShowNow(const std::string& message) {
    const std::string path = QCoreApplication::applicationFilePath().toStdString();
    boxes_.Show(
        {ErrorReportText(message), ProgramTitle(path), MessageIcon::Stop, MessageButtons::Ok});
}

void ErrorReport::ShowLater(const std::string& message) {
    QMetaObject::invokeMethod(
        this, [this, message] { ShowNow(message); }, Qt::QueuedConnection);
}

}  // namespace varnix
