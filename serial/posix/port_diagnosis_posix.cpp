#include <unistd.h>

#include "port_diagnosis.h"
#include "port_open_posix.h"

namespace varnix {

std::optional<PortOpenError> DiagnosePort(const std::string& name) {
    const PortDevice device = OpenPortDevice(SerialOs::Real(), name);
    if (device.fd < 0) {
        return device.tried;
    }
    // Nothing was changed on the line; closing drops the lock.
    close(device.fd);
    return std::nullopt;
}

}  // namespace varnix
