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
#include <thread>
#include <vector>

#include "comm_inbox.h"
#include "comm_types.h"

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

class Win32CommThread {
  public:
    Win32CommThread(const Win32Links& links, int priority)
        : FPortHandle(links.portHandle),
          FStopEvent(links.stopEvent),
          FNotifyWnd(links.notify),
          priority_(priority) {}
    virtual ~Win32CommThread() = default;
    // Throws std::system_error when the thread cannot be created.
    void Start();
    // Once the stop event is set: waits for the body to end.
    void Join();

  protected:
    virtual void Run() = 0;
    bool StopRequested() const;
    void PostHangupRequest() { FNotifyWnd.Post({CommMessage::Kind::Hangup, 0, {}}); }
    // After a failed call: a hang-up request, unless the port was closed under the thread
    // or the operation was cancelled because the thread is stopping.
    void ReportFailure(DWORD error);
    // Ends `overlapped`'s operation if it is still pending, so that its record may go.
    void EndPending(OVERLAPPED& overlapped, bool& pending);

    const HANDLE FPortHandle;
    const HANDLE FStopEvent;
    CommNotifier& FNotifyWnd;

  private:
    int priority_;
    std::thread thread_;
};

class TReadThread final : public Win32CommThread {
  public:
    explicit TReadThread(const Win32Links& links)
        : Win32CommThread(links, THREAD_PRIORITY_HIGHEST) {}

  private:
    void Run() override;
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
    void Run() override;
    bool WriteBlock(const std::vector<std::uint8_t>& block);

    BlockQueue& queue_;
    OVERLAPPED writeRecord_{};
};

}  // namespace varnix
