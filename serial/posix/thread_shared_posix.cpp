#include "thread_shared_posix.h"

#include <cstdint>

namespace varnix {

bool WriteQueue::Push(std::vector<std::uint8_t> block) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        blocks_.push_back(std::move(block));
    }
    SignalEvent(os_, wakeFd_);
    return true;
}

std::optional<std::vector<std::uint8_t>> WriteQueue::TryPop() {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) {
        return std::nullopt;
    }
    auto block = std::move(blocks_.front());
    blocks_.pop_front();
    return block;
}

void WriteQueue::ClearWake() {
    std::uint64_t count = 0;
    // Nothing to read only means nobody signalled since the last drain.
    os_.Read(wakeFd_, &count, sizeof count);
}

void WriteQueue::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    blocks_.clear();
}

bool CommThread::StopRequested() const {
    pollfd stop{FStopEvent, POLLIN, 0};
    const timespec now{0, 0};
    // A failed poll counts as a stop: the thread cannot tell that it should go on.
    return os_.Poll(&stop, 1, &now) != 0;
}

}  // namespace varnix
