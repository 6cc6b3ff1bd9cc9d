// The reader and writer threads on the Win32 communications API. The reader keeps one
// overlapped read and one overlapped comm-event wait pending and posts each completion;
// the writer writes the queued blocks one after another with overlapped writes. Both end
// on the stop event, or on a failure (with a hang-up request unless the port was closed
// under them). Every overlapped operation has ended before its thread does.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "comm_inbox.h"
#include "comm_types.h"
#include "worker_thread.h"

#include <windows.h>

namespace varnix {

inline constexpr DWORD kReadChunkSize = 2048;
inline constexpr DWORD kWatchedCommEvents = EV_RLSD | EV_ERR | EV_RING;

// Blocks queued by SendData for the writer; the event is set while blocks wait. Closed
// by the writer as it ends: then it refuses further blocks.
class BlockQueue {
  public:
    BlockQueue();  // throws std::system_error when the event cannot be created
    ~BlockQueue();
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    HANDLE Event() const { return event_; }
    bool Push(std::vector<std::uint8_t> block);
    std::optional<std::vector<std::uint8_t>> TryPop();
    void Close();

  private:
    HANDLE event_;
    std::mutex mutex_;
    bool closed_ = false;
    std::deque<std::vector<std::uint8_t>> blocks_;
};

// What every worker thread is given.
struct Win32Links {
    HANDLE portHandle;
    HANDLE stopEvent;
    CommNotifier& notify;
};

// What a failed call's GetLastError means to a worker thread.
enum class Win32Failure {
    Pending,     // the overlapped operation goes on; its event tells when it has ended
    PortClosed,  // the port handle was closed under the thread: end quietly
    Cancelled,   // the operation was cancelled or purged (a stop, for one)
    LineGone,    // anything else: the line is unusable
};
Win32Failure ClassifyFailure(DWORD error);

// A worker thread of the component on Windows: the port and the stop event it waits on,
// and the priority its body runs at.
class Win32CommThread : public WorkerThread {
  public:
    Win32CommThread(const Win32Links& links, int priority)
        : WorkerThread(links.notify),
          FPortHandle(links.portHandle),
          FStopEvent(links.stopEvent),
          priority_(priority) {}

  protected:
    virtual void Body() = 0;
    bool StopRequested() const;
    // After a failed call: a hang-up request, unless the port was closed under the thread
    // or the operation was cancelled because the thread is stopping.
    void ReportFailure(DWORD error);
    // Waits until `overlapped`'s operation, asked to end, has ended, so its record may go.
    void EndPending(OVERLAPPED& overlapped, bool& pending);

    const HANDLE FPortHandle;
    const HANDLE FStopEvent;

  private:
    void Run() final;

    int priority_;
};

class TReadThread final : public Win32CommThread {
  public:
    explicit TReadThread(const Win32Links& links)
        : Win32CommThread(links, THREAD_PRIORITY_HIGHEST) {}

  private:
    void Body() override;
    bool StartRead();
    bool FinishRead();
    bool DeliverChunk(DWORD count);
    bool StartEventWait();
    bool ProcessCommEvent(bool pending);

    OVERLAPPED readRecord_{};
    OVERLAPPED eventRecord_{};
    bool readPending_ = false;
    bool eventPending_ = false;
    DWORD eventMask_ = 0;
    unsigned char buffer_[kReadChunkSize] = {};
};

class TWriteThread final : public Win32CommThread {
  public:
    TWriteThread(const Win32Links& links, BlockQueue& queue)
        : Win32CommThread(links, THREAD_PRIORITY_ABOVE_NORMAL), queue_(queue) {}

  private:
    void Body() override;
    bool WriteBlock(const std::vector<std::uint8_t>& block);

    BlockQueue& queue_;
    OVERLAPPED writeRecord_{};
};

}  // namespace varnix
