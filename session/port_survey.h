// What each port name leads to and whether it can be opened now: the tooltips of the port
// dialog and the command line's list of ports say the same things from these facts. A
// look at a port never changes it: a port another program holds is only tried the way
// DiagnosePort tries it (an open that fails, or a lock that is refused).
#pragma once

#include <string>
#include <vector>

#include "port_open_error.h"
#include "serial_devices.h"

namespace varnix {

struct PortFacts {
    enum class State {
        Present,       // it opens now
        Busy,          // another program holds it
        NotPermitted,  // this user may not open it
        Missing,       // nothing at the path, or a link leading nowhere
        NoHardware,    // a built-in port with no UART behind it
        NoDevice,      // the name leads to no device path at all
        Unusable,      // anything else the system refused (see `reason`)
    };
    std::string name;
    std::string path;     // the device it opens: for a linked name, where the link leads
    bool linked = false;  // through a link of the user's (never on Windows)
    std::string product;  // such as "FTDI FT232R USB UART"; empty when nothing tells
    State state = State::NoDevice;
    std::string group;                // NotPermitted: the group owning the device
    bool groupNeedsNewLogin = false;  // NotPermitted: in the group from the next login on
    std::string reason;               // the system's own words, when it refused
    bool chosen = false;              // the name chosen in "Configure Port..."
};

// The state of a port that does not open for `fault`.
PortFacts::State StateOf(PortOpenFault fault);

// The facts of one name. `found` is FindSerialDevices(root). With a `root` (a fake /dev
// and /sys tree in the tests) the state is what that tree shows, and nothing is opened.
PortFacts SurveyPort(const std::string& name, const std::vector<SerialDevice>& found,
                     const std::string& chosen, const std::string& root = "");

// "COM1" to "COM15" in order; `chosen` marks the name the stored choice selects.
std::vector<PortFacts> SurveyPorts();

// One line of the list of ports, such as
// "COM3   /dev/serial/by-id/usb-FTDI_...-if00-port0 (FTDI FT232R USB UART, linked): present,
// chosen".
std::string DescribePort(const PortFacts& facts);

// The tooltip of the name in the port dialog: "COM3 opens /dev/ttyUSB0 (linked)", then
// the product, "device present" or "no device", then what keeps it from opening.
std::string PortTooltip(const PortFacts& facts);

// Links `name` (one of "COM1" to "COM15") to `device`, an existing character device
// (a relative path is taken from the current folder). False with `error` when the name
// or the device is not one, on Windows (where names are not linked), or when the link
// cannot be made.
bool LinkPortName(const std::string& name, const std::string& device, std::string& error);

// Removes the link of `name`, which then opens its default device again. No link is no
// error.
bool UnlinkPortName(const std::string& name, std::string& error);

}  // namespace varnix
