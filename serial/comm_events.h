// Line errors and modem-line changes as comm events. The driver counts them
// (TIOCGICOUNT); a comm event is what changed since the last look, decoded into the
// messages the component posts: the error first, then the modem state.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "comm_types.h"
#include "serial_os.h"

namespace varnix {

struct CommEvent {
    std::uint32_t mask = 0;    // EV_ERR, EV_RLSD, EV_RING
    std::uint32_t errors = 0;  // CE_ flags, with EV_ERR
};

// The messages one comm event gives: an error message for EV_ERR, then a modem message
// for EV_RLSD/EV_RING (8 carrier, 4 ring, 12 both). An event reporting nothing watched
// means the line went away: a hang-up request alone.
std::vector<CommMessage> DecodeCommEvent(const CommEvent& event);

// Compares the driver's counters with the last look. Shared by the reader, which looks
// for line errors after received data, and the modem watcher, which looks at both.
class CommEventWatch {
  public:
    CommEventWatch(SerialOs& os, int fd);

    // False when the driver keeps no counters (a pseudo-terminal, for one).
    bool Supported() const { return supported_; }
    // What changed since the last look; the modem part only when asked for.
    CommEvent Take(bool withModem);

  private:
    struct Counters {
        int frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0, dcd = 0, rng = 0;
    };
    bool Read(Counters& counters);

    SerialOs& os_;
    int fd_;
    bool supported_ = false;
    std::mutex mutex_;
    Counters last_;
};

}  // namespace varnix
