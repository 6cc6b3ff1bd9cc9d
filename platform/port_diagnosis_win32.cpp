#include <windows.h>

#include "port_diagnosis.h"
#include "port_names.h"

namespace varnix {

namespace {

std::string SystemText(DWORD code) {
    char* text = nullptr;
    const DWORD size = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = size != 0 && text != nullptr ? std::string(text, size) : std::string();
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(code) : result;
}

}  // namespace

// Opens the port the way the serial component does and reads the refusal: a port another
// program holds answers "access denied" on Windows.
PortDiagnosis DiagnosePort(const std::string& name) {
    PortDiagnosis diagnosis;
    const auto path = ResolvePortPath(name);
    if (!path) {
        diagnosis.problem = PortDiagnosis::Problem::NoName;
        return diagnosis;
    }
    diagnosis.path = name;
    const HANDLE handle = CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return diagnosis;
    }
    const DWORD code = GetLastError();
    diagnosis.reason = SystemText(code);
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            diagnosis.problem = PortDiagnosis::Problem::Missing;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            diagnosis.problem = PortDiagnosis::Problem::Busy;
            break;
        default:
            diagnosis.problem = PortDiagnosis::Problem::Other;
            break;
    }
    return diagnosis;
}

}  // namespace varnix
