// The serial devices present on this machine, where each port name leads, and the links
// that point a port name at a device. Every path looked at is prefixed with `root`: empty
// on a live system, a fake /dev and /sys tree in the tests.
#pragma once

#include <string>
#include <vector>

namespace varnix {

struct SerialDevice {
    std::string path;     // the name to link to: the stable /dev/serial/by-id/... if any
    std::string node;     // the device node itself, such as /dev/ttyUSB0
    std::string product;  // such as "FTDI FT232R USB UART"; empty when nothing tells
};

// USB adapters (ttyUSB*, ttyACM*) and the built-in ports with a UART behind them
// (ttyS*), in the order of their nodes.
std::vector<SerialDevice> FindSerialDevices(const std::string& root = "");

// Where a port name leads.
struct PortRoute {
    std::string path;     // the device it opens; empty when the name opens nothing
    bool linked = false;  // through a link of the user's in the configuration folder
    bool present = false;
    std::string product;  // of the device found there
};
PortRoute RoutePort(const std::string& name, const std::vector<SerialDevice>& found,
                    const std::string& root = "");

// Whether port names can be linked to devices (LinkPort). Not on Windows, where a port's
// name is the device's own.
bool CanLinkPorts();

// Points `name` at `target` by the link the port-name map reads, replacing the one there;
// an empty `target` removes the link. False with `error` set when that fails.
bool LinkPort(const std::string& name, const std::string& target, std::string& error);

}  // namespace varnix
