// What the program tells about a port name: the tooltip of each name in the port dialog,
// and the explanation under "Can not open COMn".
#pragma once

#include <string>
#include <vector>

#include "port_diagnosis.h"
#include "serial_devices.h"

namespace varnix {

// "COM3 opens /dev/ttyUSB0 (linked)" and, on a second line, the product or "no device".
std::string PortTooltip(const std::string& name, const PortRoute& route);

// The device tried, the system's reason and what to do about it.
std::string OpenFailureDetail(const std::string& name, const PortDiagnosis& diagnosis,
                              const std::vector<SerialDevice>& found);

}  // namespace varnix
