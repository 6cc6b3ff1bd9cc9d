// Why a port name cannot be opened, found by looking at the device it leads to the way
// the serial port opens it. For the message that follows a failed open.
#pragma once

#include <string>

namespace varnix {

struct PortDiagnosis {
    enum class Problem {
        None,        // it opens now
        NoName,      // the name leads to no device path at all
        Missing,     // nothing at the path, or a link leading nowhere
        NoHardware,  // a built-in port with no UART behind it
        Permission,  // this user may not open it
        Busy,        // another program holds it
        Other,       // anything else the system refused
    };
    Problem problem = Problem::None;
    std::string path;  // the device tried: where the user's link leads, if it is one
    bool linked = false;
    std::string reason;         // the system's own words
    std::string group;          // Permission: the group owning the device
    std::string user;           // Permission: this user's login name
    bool inGroupLater = false;  // Permission: the account is in the group, this session not
};

PortDiagnosis DiagnosePort(const std::string& name);

}  // namespace varnix
