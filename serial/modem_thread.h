// The modem watcher: blocks until the driver reports a carrier or ring change
// (TIOCMIWAIT), then posts the comm event. Drivers without modem lines (a
// pseudo-terminal, for one) refuse the wait, and the watcher ends without a report.
// TIOCMIWAIT cannot wait on a descriptor, so Stop interrupts it with a signal.
#pragma once

#include <atomic>
#include <thread>

#include "comm_events.h"
#include "serial_os.h"
#include "thread_shared.h"

namespace varnix {

class ModemThread {
  public:
    ModemThread(SerialOs& os, int portHandle, int stopEvent, CommNotifier& notify,
                CommEventWatch& events)
        : FPortHandle(portHandle),
          FStopEvent(stopEvent),
          FNotifyWnd(notify),
          os_(os),
          events_(events) {}

    // Throws std::system_error when the thread cannot be created.
    void Start();
    // The stop descriptor must already be signalled.
    void Stop();

  private:
    void Run();

    const int FPortHandle;
    const int FStopEvent;
    CommNotifier& FNotifyWnd;
    SerialOs& os_;
    CommEventWatch& events_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

}  // namespace varnix
