#include "comm_threads_win32.h"

#include <system_error>

#include "comm_event.h"

namespace varnix {

BlockQueue::BlockQueue() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (event_ == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    }
}

BlockQueue::~BlockQueue() {
    ::CloseHandle(event_);
}

bool BlockQueue::Push(std::vector<std::uint8_t> block) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return false;
    }
    blocks_.push_back(std::move(block));
    ::SetEvent(event_);  // cannot fail on a valid event
    return true;
}

std::optional<std::vector<std::uint8_t>> BlockQueue::TryPop() {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) {
        ::ResetEvent(event_);  // under the lock: a Push sets it again
        return std::nullopt;
    }
    auto block = std::move(blocks_.front());
    blocks_.pop_front();
    return block;
}

void BlockQueue::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    blocks_.clear();
}

Win32Failure ClassifyFailure(DWORD error) {
    switch (error) {
        case ERROR_IO_PENDING:
            return Win32Failure::Pending;
        case ERROR_INVALID_HANDLE:
            return Win32Failure::PortClosed;
        case ERROR_OPERATION_ABORTED:
            return Win32Failure::Cancelled;
        default:
            return Win32Failure::LineGone;
    }
}

void Win32CommThread::Run() {
    // Both priorities are above normal but below time-critical: no privilege needed.
    // Should the system refuse, the thread runs at normal priority.
    ::SetThreadPriority(::GetCurrentThread(), priority_);
    Body();
}

bool Win32CommThread::StopRequested() const {
    return ::WaitForSingleObject(FStopEvent, 0) != WAIT_TIMEOUT;
}

void Win32CommThread::ReportFailure(DWORD error) {
    switch (ClassifyFailure(error)) {
        case Win32Failure::PortClosed:
            return;
        case Win32Failure::Cancelled:
            if (StopRequested()) {
                return;
            }
            break;
        case Win32Failure::Pending:
        case Win32Failure::LineGone:
            break;
    }
    PostHangupRequest();
}

void Win32CommThread::EndPending(OVERLAPPED& overlapped, bool& pending) {
    if (!pending) {
        return;
    }
    // The caller has asked the operation to end; this waits until it has. Its result is of
    // no interest any more.
    DWORD ignored = 0;
    ::GetOverlappedResult(FPortHandle, &overlapped, &ignored, TRUE);
    pending = false;
}

// --- reader

void TReadThread::Body() {
    readRecord_.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    eventRecord_.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    bool carryOn = readRecord_.hEvent != nullptr && eventRecord_.hEvent != nullptr;
    if (!carryOn) {
        PostHangupRequest();
    } else if (!::SetCommMask(FPortHandle, kWatchedCommEvents)) {
        PostHangupRequest();
        carryOn = false;
    } else {
        carryOn = StartEventWait() && StartRead();
    }
    // The stop event first: a stop wins over completions that are ready at the same time,
    // and a comm event wins over a finished read.
    const HANDLE waitList[3] = {FStopEvent, eventRecord_.hEvent, readRecord_.hEvent};
    while (carryOn) {
        switch (::WaitForMultipleObjects(3, waitList, FALSE, INFINITE)) {
            case WAIT_OBJECT_0:
                carryOn = false;
                break;
            case WAIT_OBJECT_0 + 1:
                carryOn = ProcessCommEvent(true) && StartEventWait();
                break;
            case WAIT_OBJECT_0 + 2:
                carryOn = FinishRead() && StartRead();
                break;
            default:
                PostHangupRequest();
                carryOn = false;
                break;
        }
    }
    // Neither record may outlive its operation. A new mask ends the event wait (the
    // port's mask matters no more once the reader ends); CancelIoEx ends it too on
    // Windows, though not under Wine, and ends the read on both.
    if (eventPending_) {
        ::SetCommMask(FPortHandle, 0);
        ::CancelIoEx(FPortHandle, &eventRecord_);
    }
    if (readPending_) {
        ::CancelIoEx(FPortHandle, &readRecord_);
    }
    EndPending(eventRecord_, eventPending_);
    EndPending(readRecord_, readPending_);
    // Input nobody will read; a failed purge leaves nothing to undo.
    ::PurgeComm(FPortHandle, PURGE_RXABORT | PURGE_RXCLEAR);
    for (HANDLE event : {readRecord_.hEvent, eventRecord_.hEvent}) {
        if (event != nullptr) {
            ::CloseHandle(event);
        }
    }
}

bool TReadThread::StartRead() {
    for (;;) {
        if (StopRequested()) {
            return false;
        }
        DWORD count = 0;
        if (::ReadFile(FPortHandle, buffer_, kReadChunkSize, &count, &readRecord_)) {
            if (!DeliverChunk(count)) {
                return false;
            }
            continue;  // data that was waiting went at once: read again
        }
        const DWORD error = ::GetLastError();
        if (ClassifyFailure(error) == Win32Failure::Pending) {
            readPending_ = true;
            return true;
        }
        ReportFailure(error);
        return false;
    }
}

bool TReadThread::FinishRead() {
    readPending_ = false;
    DWORD count = 0;
    if (::GetOverlappedResult(FPortHandle, &readRecord_, &count, FALSE)) {
        return DeliverChunk(count);
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_TIMEOUT) {
        // A total read time-out ran out: Wine reports it as a failure, Windows as a read
        // with what had arrived.
        return DeliverChunk(static_cast<DWORD>(readRecord_.InternalHigh));
    }
    ReportFailure(error);
    return false;
}

// A read that completed empty (a total time-out ran out) delivers nothing and makes way
// for the next one.
bool TReadThread::DeliverChunk(DWORD count) {
    if (count == 0) {
        return true;
    }
    CommMessage data{CommMessage::Kind::Data, 0, {}};
    try {
        data.block.assign(buffer_, buffer_ + count);
        data.block.push_back(0);
        FNotifyWnd.Post(std::move(data));
    } catch (const std::bad_alloc&) {
        PostHangupRequest();
        return false;
    }
    return true;
}

bool TReadThread::StartEventWait() {
    for (;;) {
        if (StopRequested()) {
            return false;
        }
        eventMask_ = 0;
        if (::WaitCommEvent(FPortHandle, &eventMask_, &eventRecord_)) {
            if (!ProcessCommEvent(false)) {
                return false;
            }
            continue;
        }
        const DWORD error = ::GetLastError();
        if (ClassifyFailure(error) == Win32Failure::Pending) {
            eventPending_ = true;
            return true;
        }
        ReportFailure(error);
        return false;
    }
}

bool TReadThread::ProcessCommEvent(bool pending) {
    if (pending) {
        eventPending_ = false;
        DWORD ignored = 0;
        if (!::GetOverlappedResult(FPortHandle, &eventRecord_, &ignored, FALSE)) {
            ReportFailure(::GetLastError());
            return false;
        }
    }
    CommEvent event{eventMask_ & kWatchedCommEvents, 0};
    if (event.mask & EV_ERR) {
        DWORD errors = 0;
        if (!::ClearCommError(FPortHandle, &errors, nullptr)) {
            ReportFailure(::GetLastError());
            return false;
        }
        event.errors = errors;
    }
    const auto messages = DecodeCommEvent(event);
    for (const CommMessage& message : messages) {
        FNotifyWnd.Post(message);
    }
    return messages.back().kind != CommMessage::Kind::Hangup;
}

// --- writer

void TWriteThread::Body() {
    writeRecord_.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    bool carryOn = writeRecord_.hEvent != nullptr;
    if (!carryOn) {
        PostHangupRequest();
    }
    bool announceEmpty = true;
    const HANDLE waitList[2] = {FStopEvent, queue_.Event()};
    while (carryOn) {
        auto block = queue_.TryPop();
        if (!block) {
            if (announceEmpty) {
                FNotifyWnd.Post({CommMessage::Kind::TxEmpty, 0, {}});
                announceEmpty = false;
            }
            const DWORD woke = ::WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1) {
                if (woke != WAIT_OBJECT_0) {
                    PostHangupRequest();
                }
                carryOn = false;
            }
            continue;
        }
        carryOn = !StopRequested() && WriteBlock(*block);
        announceEmpty = true;
    }
    queue_.Close();
    // Output still in the driver is abandoned; a failed purge leaves nothing to undo.
    ::PurgeComm(FPortHandle, PURGE_TXABORT | PURGE_TXCLEAR);
    if (writeRecord_.hEvent != nullptr) {
        ::CloseHandle(writeRecord_.hEvent);
    }
}

bool TWriteThread::WriteBlock(const std::vector<std::uint8_t>& block) {
    const HANDLE waitList[2] = {FStopEvent, writeRecord_.hEvent};
    DWORD offset = 0;
    const auto size = static_cast<DWORD>(block.size());
    while (offset < size) {
        DWORD written = 0;
        if (!::WriteFile(FPortHandle, block.data() + offset, size - offset, &written,
                         &writeRecord_)) {
            const DWORD error = ::GetLastError();
            if (ClassifyFailure(error) != Win32Failure::Pending) {
                ReportFailure(error);
                return false;
            }
            const DWORD woke = ::WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1) {
                // Stopping (or the wait failed): the write is abandoned, and its record
                // must see it end first.
                ::CancelIoEx(FPortHandle, &writeRecord_);
                ::GetOverlappedResult(FPortHandle, &writeRecord_, &written, TRUE);
                if (woke != WAIT_OBJECT_0) {
                    PostHangupRequest();
                }
                return false;
            }
            if (!::GetOverlappedResult(FPortHandle, &writeRecord_, &written, TRUE)) {
                ReportFailure(::GetLastError());
                return false;
            }
        }
        offset += written;
    }
    return true;
}

}  // namespace varnix
