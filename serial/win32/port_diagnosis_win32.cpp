#include "port_diagnosis.h"
#include "port_open_win32.h"

namespace varnix {

std::optional<PortOpenError> DiagnosePort(const std::string& name) {
    const PortDevice device = OpenPortDevice(name);
    if (device.handle == INVALID_HANDLE_VALUE) {
        return device.tried;
    }
    ::CloseHandle(device.handle);
    return std::nullopt;
}

}  // namespace varnix
