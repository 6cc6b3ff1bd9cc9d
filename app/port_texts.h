// The explanation under "Can not open COMn". (The tooltip of each name in the port dialog
// is PortTooltip in port_survey.h, shared with the command line's list of ports.)
#pragma once

#include <string>
#include <vector>

#include "port_open_error.h"
#include "serial_devices.h"

namespace varnix {

// The device tried, the system's reason and what to do about it.
std::string OpenFailureDetail(const std::string& name, const PortOpenError& cause,
                              const std::vector<SerialDevice>& found);

}  // namespace varnix
