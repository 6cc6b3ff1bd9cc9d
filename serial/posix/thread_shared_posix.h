// What the component shares with its worker threads besides the port and the stop
// descriptor: where reports go, the read time-outs and the queue of blocks to write.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "comm_inbox.h"
#include "comm_types.h"
#include "serial_os_posix.h"
#include "worker_thread.h"

namespace varnix {

class SharedTimeouts {
  public:
    CommTimeouts Get() const {
        std::lock_guard lock(mutex_);
        return timeouts_;
    }
    void Set(const CommTimeouts& timeouts) {
        std::lock_guard lock(mutex_);
        timeouts_ = timeouts;
    }

  private:
    mutable std::mutex mutex_;
    CommTimeouts timeouts_;
};

// Blocks queued by SendData for the writer. A readable wake descriptor means "look
// again"; the writer drains it before it empties the queue. Once the writer has ended
// the queue is closed and refuses further blocks.
class WriteQueue {
  public:
    WriteQueue(SerialOs& os, int wakeFd) : os_(os), wakeFd_(wakeFd) {}
    int WakeFd() const { return wakeFd_; }
    // False when the queue is closed: the block would never be written.
    bool Push(std::vector<std::uint8_t> block);
    std::optional<std::vector<std::uint8_t>> TryPop();
    void ClearWake();
    // Called by the writer as it ends; drops the blocks it will not write.
    void Close();

  private:
    SerialOs& os_;
    int wakeFd_;
    std::mutex mutex_;
    bool closed_ = false;
    std::deque<std::vector<std::uint8_t>> blocks_;
};

// What every worker thread is given: the calls to make, the port, the stop descriptor
// and where its reports go.
struct ThreadLinks {
    SerialOs& os;
    int portHandle;
    int stopEvent;
    CommNotifier& notify;
};

// A worker thread of the component on Linux: the port and the stop descriptor it polls.
class CommThread : public WorkerThread {
  public:
    explicit CommThread(const ThreadLinks& links)
        : WorkerThread(links.notify),
          FPortHandle(links.portHandle),
          FStopEvent(links.stopEvent),
          os_(links.os) {}

  protected:
    bool StopRequested() const;

    const int FPortHandle;
    const int FStopEvent;
    SerialOs& os_;
};

}  // namespace varnix
