// Line errors and modem-line changes as comm events on Linux. The driver counts them
// (TIOCGICOUNT); a comm event is what changed since the last look.
#pragma once

#include <cstdint>
#include <mutex>

#include "comm_event.h"
#include "serial_os_posix.h"

namespace varnix {

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
