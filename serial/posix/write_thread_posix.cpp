#include "write_thread_posix.h"

#include <cerrno>

namespace varnix {

void TWriteThread::Run() {
    bool announceEmpty = true;
    for (;;) {
        auto block = queue_.TryPop();
        if (!block) {
            if (announceEmpty) {
                FNotifyWnd.Post({CommMessage::Kind::TxEmpty, 0, {}});
                announceEmpty = false;
            }
            if (!WaitFor(queue_.WakeFd(), POLLIN)) {
                break;
            }
            queue_.ClearWake();
            continue;
        }
        if (StopRequested() || !WriteBlock(*block)) {
            break;
        }
        announceEmpty = true;
    }
    queue_.Close();
    // Output still in the driver is abandoned; a failed flush leaves nothing to undo.
    os_.TcFlush(FPortHandle, TCOFLUSH);
}

bool TWriteThread::WaitFor(int fd, short events) {
    for (;;) {
        pollfd fds[2] = {{FStopEvent, POLLIN, 0}, {fd, events, 0}};
        const int ready = os_.Poll(fds, 2, nullptr);
        if (ready < 0) {
            if (ClassifyFailure(errno) == OsFailure::Retry) {
                continue;
            }
            PostHangupRequest();
            return false;
        }
        if (fds[0].revents != 0) {
            return false;
        }
        if (fds[1].revents & POLLNVAL) {
            return false;
        }
        if (fds[1].revents & (POLLHUP | POLLERR)) {
            PostHangupRequest();
            return false;
        }
        if (fds[1].revents & events) {
            return true;
        }
    }
}

bool TWriteThread::WriteBlock(const std::vector<std::uint8_t>& block) {
    std::size_t offset = 0;
    while (offset < block.size()) {
        const ssize_t written =
            os_.Write(FPortHandle, block.data() + offset, block.size() - offset);
        if (written > 0) {
            offset += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0) {
            switch (ClassifyFailure(errno)) {
                case OsFailure::Retry:
                    break;  // wait until the driver takes more
                case OsFailure::PortClosed:
                    return false;
                case OsFailure::NotSupported:
                case OsFailure::LineGone:
                    PostHangupRequest();
                    return false;
            }
        }
        if (!WaitFor(FPortHandle, POLLOUT)) {
            return false;
        }
    }
    return true;
}

}  // namespace varnix
