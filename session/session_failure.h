// Why something the session was asked to do did not happen: a kind that callers act on
// (the command line's exit status, the window's explanation of a port) and the words
// for the user.
#pragma once

#include <optional>
#include <string>

#include "port_open_error.h"

namespace varnix {

enum class FailureKind {
    PortBusy,        // another program holds the port
    PortPermission,  // this user may not open it
    PortMissing,     // no device behind the name
    PortUnusable,    // the port did not open for another reason
    InvalidValues,   // the values cannot go to the device (a time-out too large, say)
    NoReply,         // the device did not answer
    DeviceRefused,   // the device answered, but did not accept
    RecordsStopped,  // a read whose numbers stopped coming
    BadReply,        // the device's reply cannot complete the transfer
    Interrupted,     // the device cut the transfer short
    LineLost,        // the line went away; a write's reason says what the device holds
    Cancelled,       // the user stopped it; a write's reason says what the device holds
    Aborted,         // something other than the port or the values failed at the start
};

struct SessionFailure {
    FailureKind kind;
    bool atStart = false;  // the transfer never started
    std::string text;      // the window's message for a start, else empty
    std::string reason;    // what went wrong, as one clause: "the device did not answer"
    std::string port;      // the port name tried
    std::optional<PortOpenError> diagnosis;  // a port that did not open: why
    int slot = 0;  // values that cannot go to the device: the first slot at fault
};

// True for the kinds that are about the port rather than the device.
inline bool IsPortFailure(FailureKind kind) {
    return kind == FailureKind::PortBusy || kind == FailureKind::PortPermission ||
           kind == FailureKind::PortMissing || kind == FailureKind::PortUnusable;
}

}  // namespace varnix
