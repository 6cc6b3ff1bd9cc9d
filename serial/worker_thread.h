// The one shape of the component's worker threads on every operating system: Start runs
// the body on a new thread, Join waits for it once the stop has been signalled, and the
// body reports only through the notifier. What a body waits on (descriptors or handles)
// is the operating system's part, in the classes derived from this one.
#pragma once

#include <atomic>
#include <thread>

#include "comm_inbox.h"

namespace varnix {

class WorkerThread {
  public:
    explicit WorkerThread(CommNotifier& notify) : FNotifyWnd(notify) {}
    virtual ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Throws std::system_error when the thread cannot be created.
    void Start();
    // Once the stop has been signalled: waits until the body has returned.
    void Join();

  protected:
    virtual void Run() = 0;
    // Wakes a body blocked in a call that cannot watch the stop; Join repeats it until
    // the body has ended. False when the body needs no waking.
    virtual bool Interrupt() { return false; }
    std::thread::native_handle_type NativeHandle() { return thread_.native_handle(); }
    void PostHangupRequest() { FNotifyWnd.Post({CommMessage::Kind::Hangup, 0, {}}); }

    CommNotifier& FNotifyWnd;

  private:
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

}  // namespace varnix
