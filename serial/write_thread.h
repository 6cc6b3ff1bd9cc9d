// The writer: takes the queued blocks in order and writes each one whole; announces an
// empty queue once after starting and once each time it runs empty after a block; ends
// on the stop descriptor or when the line goes away (with a hang-up request).
#pragma once

#include <cstdint>
#include <vector>

#include "serial_os.h"
#include "thread_shared.h"

namespace varnix {

class TWriteThread : public CommThread {
  public:
    TWriteThread(SerialOs& os, int portHandle, int stopEvent, CommNotifier& notify,
                 WriteQueue& queue)
        : FPortHandle(portHandle),
          FStopEvent(stopEvent),
          FNotifyWnd(notify),
          os_(os),
          queue_(queue) {}

  private:
    void Run() override;
    bool WriteBlock(const std::vector<std::uint8_t>& block);
    // Waits until the stop descriptor or `fd` has `events`; false on stop or failure.
    bool WaitFor(int fd, short events);
    void PostHangupRequest();

    const int FPortHandle;
    const int FStopEvent;
    CommNotifier& FNotifyWnd;
    SerialOs& os_;
    WriteQueue& queue_;
};

}  // namespace varnix
