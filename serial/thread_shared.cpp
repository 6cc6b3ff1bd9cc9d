#include "thread_shared.h"

#include <cstdint>

namespace varnix {

void WriteQueue::Push(std::vector<std::uint8_t> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    const std::uint64_t one = 1;
    os_.Write(wakeFd_, &one, sizeof one);
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
    os_.Read(wakeFd_, &count, sizeof count);
}

bool StopRequested(SerialOs& os, int stopFd) {
    pollfd stop{stopFd, POLLIN, 0};
    const timespec now{0, 0};
    const int ready = os.Poll(&stop, 1, &now);
    return ready != 0;
}

}  // namespace varnix
