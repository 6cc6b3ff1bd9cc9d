// Turns the component's line state properties into termios settings and modem-line
// states.
#pragma once

#include <termios.h>

#include "comm_types.h"

namespace varnix {

// The line state to apply: termios (built on `current`, which keeps what has no
// property) and the levels DTR and RTS are to be driven to while the port is open.
struct LineState {
    termios settings{};
    bool dtrOn = true;
    bool rtsOn = true;
};

LineState BuildLineState(const termios& current, const LineSettings& line);

// The speed constant for a baud rate; rates without a constant take the nearest one.
speed_t SpeedFor(std::uint32_t baudRate);

}  // namespace varnix
