// The modem watcher: blocks until the driver reports a carrier or ring change
// (TIOCMIWAIT), then posts the comm event. Drivers without modem lines (a
// pseudo-terminal, for one) refuse the wait, and the watcher ends without a report.
// TIOCMIWAIT cannot wait on a descriptor, so Stop interrupts it with a signal.
#pragma once

#include "comm_event_watch_posix.h"
#include "serial_os_posix.h"
#include "thread_shared_posix.h"

namespace varnix {

class ModemThread : public CommThread {
  public:
    ModemThread(const ThreadLinks& links, CommEventWatch& events);

  private:
    void Run() override;
    bool Interrupt() override;

    CommEventWatch& events_;
};

}  // namespace varnix
