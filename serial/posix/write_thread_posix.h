// The writer: takes the queued blocks in order and writes each one whole; announces an
// empty queue once after starting and once each time it runs empty after a block; ends
// on the stop descriptor or when the line goes away (with a hang-up request).
#pragma once

#include <cstdint>
#include <vector>

#include "serial_os_posix.h"
#include "thread_shared_posix.h"

namespace varnix {

class TWriteThread : public CommThread {
  public:
    TWriteThread(const ThreadLinks& links, WriteQueue& queue) : CommThread(links), queue_(queue) {}

  private:
    void Run() override;
    bool WriteBlock(const std::vector<std::uint8_t>& block);
    // Waits until the stop descriptor or `fd` has `events`; false on stop or failure.
    bool WaitFor(int fd, short events);

    WriteQueue& queue_;
};

}  // namespace varnix
