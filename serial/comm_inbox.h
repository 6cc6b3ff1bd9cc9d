// The queue of messages from the worker threads to the main thread, without Qt: the
// threads post, the main thread takes them in posting order. A wake handle of the
// operating system (an eventfd on Linux, an event on Windows) is signalled with each post,
// so that the main thread's event loop can watch it.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "comm_types.h"

namespace varnix {

// Receives the threads' reports. Safe to call from any thread.
class CommNotifier {
  public:
    virtual ~CommNotifier() = default;
    virtual void Post(CommMessage message) = 0;
};

class CommInbox final : public CommNotifier {
  public:
    // Throws std::system_error when the wake handle cannot be created.
    CommInbox();
    ~CommInbox() override;
    CommInbox(const CommInbox&) = delete;
    CommInbox& operator=(const CommInbox&) = delete;

    void Post(CommMessage message) override;
    // Main thread: resets the wake handle; call before taking what is there.
    void ClearWake();
    std::optional<CommMessage> Take();
    // The eventfd or event handle that is signalled by every post.
    std::intptr_t WakeHandle() const { return wake_; }

  private:
    std::intptr_t wake_;
    std::mutex mutex_;
    std::deque<CommMessage> messages_;
};

}  // namespace varnix
