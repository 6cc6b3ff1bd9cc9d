// What the component shares with its worker threads besides the port and the stop
// descriptor: where reports go, the read time-outs and the queue of blocks to write.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "comm_types.h"
#include "serial_os.h"

namespace varnix {

// Receives the threads' reports; the component raises them on the main thread in
// posting order. Safe to call from any thread.
class CommNotifier {
  public:
    virtual ~CommNotifier() = default;
    virtual void Post(CommMessage message) = 0;
};

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
// again"; the writer drains it before it empties the queue.
class WriteQueue {
  public:
    WriteQueue(SerialOs& os, int wakeFd) : os_(os), wakeFd_(wakeFd) {}
    int WakeFd() const { return wakeFd_; }
    void Push(std::vector<std::uint8_t> block);
    std::optional<std::vector<std::uint8_t>> TryPop();
    void ClearWake();

  private:
    SerialOs& os_;
    int wakeFd_;
    std::mutex mutex_;
    std::deque<std::vector<std::uint8_t>> blocks_;
};

// A worker thread of the component: Start runs the body on a new thread (throwing
// std::system_error when it cannot be created), Join waits for it to end.
class CommThread {
  public:
    virtual ~CommThread() = default;
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  protected:
    virtual void Run() = 0;
    std::thread thread_;
};

// True once the stop descriptor has been signalled (or cannot be asked).
bool StopRequested(SerialOs& os, int stopFd);

}  // namespace varnix
