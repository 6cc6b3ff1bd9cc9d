// Opening the device a port name leads to, as the serial port uses it: overlapped, not
// shared with any other opener, a character device with the driver's queues set up. The
// port's open and the look at a port (DiagnosePort) share it, so both tell the same cause
// of a refusal.
#pragma once

#include <string>

#include "port_open_error.h"

#include <windows.h>

namespace varnix {

struct PortDevice {
    HANDLE handle = INVALID_HANDLE_VALUE;  // INVALID_HANDLE_VALUE: it did not open
    PortOpenError tried;                   // the device tried; after a failure, also why
    const char* message = nullptr;         // after a failure: the component's words for the step
};

PortDevice OpenPortDevice(const std::string& name);

}  // namespace varnix
