#include "port_open_win32.h"

#include <utility>

#include "port_names.h"
#include "utf16_win32.h"

namespace varnix {

namespace {

constexpr DWORD kDriverQueueSize = 4096;
constexpr char kOpenFailed[] = "Error opening serial port";

// A port another program holds answers "access denied" on Windows.
PortOpenFault FaultOfOpen(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return PortOpenFault::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return PortOpenFault::Busy;
        default:
            return PortOpenFault::Other;
    }
}

PortDevice Refused(PortDevice device, const char* message, PortOpenFault fault,
                   std::string reason) {
    device.handle = INVALID_HANDLE_VALUE;
    device.message = message;
    device.tried.fault = fault;
    device.tried.reason = std::move(reason);
    return device;
}

}  // namespace

PortDevice OpenPortDevice(const std::string& name) {
    PortDevice device;
    const auto path = ResolvePortPath(name);
    if (!path) {
        return Refused(std::move(device), kOpenFailed, PortOpenFault::NoName, {});
    }
    device.tried.path = name;
    const HANDLE port =
        ::CreateFileW(Utf16FromUtf8(*path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        return Refused(std::move(device), kOpenFailed, FaultOfOpen(code), SystemErrorText(code));
    }
    // Until the handle is handed over, a failure closes it alone.
    if (::GetFileType(port) != FILE_TYPE_CHAR) {
        ::CloseHandle(port);
        return Refused(std::move(device), "File handle is not a comm handle ",
                       PortOpenFault::NotADevice, "not a character device");
    }
    if (!::SetupComm(port, kDriverQueueSize, kDriverQueueSize)) {
        const DWORD code = ::GetLastError();
        ::CloseHandle(port);
        return Refused(std::move(device), "Cannot setup comm buffer", PortOpenFault::Other,
                       SystemErrorText(code));
    }
    device.handle = port;
    return device;
}

}  // namespace varnix
