// Port names such as "COM3" and the device paths they open. On Windows a name opens as
// "\\.\" + name. Elsewhere a name NAME opens <config>/ports/NAME when that path exists (a
// link to a device, like a DOS device map); otherwise "COMn" opens /dev/ttyS<n-1>; a name
// starting with "/" is a device path.
#pragma once

#include <optional>
#include <string>

namespace varnix {

// The folder holding the port links: <config>/ports (not on Windows).
std::string PortLinkFolder();

// The name is a device path, which stands for a port name here (never on Windows).
bool IsDevicePathName(const std::string& name);

// The device path for a port name, or nothing when the name cannot name a port.
std::optional<std::string> ResolvePortPath(const std::string& name);

}  // namespace varnix
