#include "read_thread_posix.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>

namespace varnix {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMaxTimeout = 0xFFFFFFFF;

timespec ToTimespec(Clock::duration duration) {
    if (duration < Clock::duration::zero()) {
        duration = Clock::duration::zero();
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanos.count())};
}

}  // namespace

void TReadThread::Run() {
    unsigned char buffer[kReadChunkSize];
    for (;;) {
        std::size_t count = 0;
        const ReadEnd end = ReadChunk(buffer, count);
        if (end == ReadEnd::Stop) {
            break;
        }
        // A read that completed empty simply makes way for the next one.
        if (count > 0) {
            CommMessage data{CommMessage::Kind::Data, 0, {}};
            data.block.assign(buffer, buffer + count);
            data.block.push_back(0);
            FNotifyWnd.Post(std::move(data));
        }
        if (end == ReadEnd::Gone) {
            PostHangupRequest();
            break;
        }
    }
    // Leftover input is of no use to anyone; a failed flush leaves nothing to undo.
    os_.TcFlush(FPortHandle, TCIFLUSH);
}

// One read with the Windows time-out meaning: it waits for the first byte (without limit
// unless a total time-out is set), then completes when the line has been silent for more
// than the interval, when the total time-out runs out, or when the buffer is full. An
// interval of 0xFFFFFFFF with no totals returns whatever has arrived at once.
TReadThread::ReadEnd TReadThread::ReadChunk(unsigned char* buffer, std::size_t& count) {
    const CommTimeouts t = timeouts_.Get();
    const auto start = Clock::now();
    const bool immediate =
        t.readInterval == kMaxTimeout && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    const bool useInterval = t.readInterval > 0 && t.readInterval != kMaxTimeout;
    std::optional<Clock::time_point> totalDeadline;
    if (t.readTotalMultiplier != 0 || t.readTotalConstant != 0) {
        const std::uint64_t totalMs =
            std::uint64_t{t.readTotalMultiplier} * kReadChunkSize + t.readTotalConstant;
        totalDeadline = start + std::chrono::milliseconds(totalMs);
    }
    const auto interval = std::chrono::milliseconds(t.readInterval);
    Clock::time_point lastByte{};

    for (;;) {
        std::optional<Clock::time_point> deadline = totalDeadline;
        if (count > 0 && useInterval) {
            // "More than the interval" of silence: complete just after it has passed.
            const auto silenceEnd = lastByte + interval + std::chrono::microseconds(1);
            if (!deadline || silenceEnd < *deadline) {
                deadline = silenceEnd;
            }
        }
        if (deadline && Clock::now() >= *deadline) {
            return ReadEnd::Chunk;
        }
        pollfd fds[2] = {{FStopEvent, POLLIN, 0}, {FPortHandle, POLLIN, 0}};
        timespec wait{};
        if (deadline) {
            wait = ToTimespec(*deadline - Clock::now());
        }
        const int ready = os_.Poll(fds, 2, deadline ? &wait : nullptr);
        if (ready < 0) {
            if (ClassifyFailure(errno) == OsFailure::Retry) {
                continue;
            }
            return ReadEnd::Gone;
        }
        if (fds[0].revents != 0) {
            return ReadEnd::Stop;
        }
        if (ready == 0) {
            continue;  // a deadline passed; checked at the top
        }
        const short port = fds[1].revents;
        if (port & POLLNVAL) {
            return ReadEnd::Stop;  // the descriptor was closed under the thread
        }
        if (port & (POLLHUP | POLLERR)) {
            return ReadEnd::Gone;
        }
        const ssize_t got = os_.Read(FPortHandle, buffer + count, kReadChunkSize - count);
        if (got == 0) {
            // Readable, yet nothing: the line is gone, unless closing flushed the input
            // between the wait and the read.
            return StopRequested() ? ReadEnd::Stop : ReadEnd::Gone;
        }
        if (got < 0) {
            switch (ClassifyFailure(errno)) {
                case OsFailure::Retry:
                    continue;
                case OsFailure::PortClosed:
                    return ReadEnd::Stop;
                case OsFailure::NotSupported:
                case OsFailure::LineGone:
                    return ReadEnd::Gone;
            }
        }
        count += static_cast<std::size_t>(got);
        lastByte = Clock::now();
        const CommEvent errors = events_.Take(false);
        if (errors.mask != 0) {
            for (CommMessage& message : DecodeCommEvent(errors)) {
                FNotifyWnd.Post(std::move(message));
            }
        }
        if (count == kReadChunkSize || immediate) {
            return ReadEnd::Chunk;
        }
    }
}

}  // namespace varnix
