// Why a serial port did not open, as the operating system gave it (errno, GetLastError):
// the serial component throws it with a failed open, the device transfers hand it on, and
// the session and the front ends word it for the user.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace varnix {

enum class PortOpenFault {
    NoName,        // the name leads to no device path at all
    Missing,       // nothing at the path, or a link leading nowhere
    NoHardware,    // a built-in port with no UART behind it
    NotPermitted,  // this user may not open it
    Busy,          // another program holds it
    NotADevice,    // what is there is no character device
    Resources,     // the device opened, but the port's events or threads could not be made
    Other,         // anything else the system refused
};

struct PortOpenError {
    PortOpenFault fault = PortOpenFault::Other;
    std::string path{};         // the device tried: where the user's link leads, if it is one
    bool linked = false;        // the name leads there through a link of the user's
    std::string reason{};       // the system's own words; empty when it gave none
    std::string group{};        // NotPermitted: the group owning the device, which permits it
    std::string user{};         // NotPermitted: this user's login name
    bool inGroupLater = false;  // NotPermitted: the account is in the group, this session not
};

// A port that did not open: the serial component's message and the cause.
class PortOpenFailure : public std::runtime_error {
  public:
    explicit PortOpenFailure(const std::string& message, PortOpenError cause = {})
        : std::runtime_error(message), cause_(std::move(cause)) {}
    const PortOpenError& Cause() const { return cause_; }

  private:
    PortOpenError cause_;
};

}  // namespace varnix
