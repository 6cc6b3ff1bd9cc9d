// Opening the device a port name leads to, as the serial port uses it: read and write, no
// controlling terminal, non-blocking, locked against every other opener, and a terminal.
// The port's open and the look at a port (DiagnosePort) share it, so both tell the same
// cause of a refusal.
#pragma once

#include <string>

#include "port_open_error.h"
#include "serial_os_posix.h"

namespace varnix {

struct PortDevice {
    int fd = -1;                    // -1: it did not open
    PortOpenError tried;            // the device tried; after a failure, also why
    const char* message = nullptr;  // after a failure: the component's words for the step
};

PortDevice OpenPortDevice(SerialOs& os, const std::string& name);

}  // namespace varnix
