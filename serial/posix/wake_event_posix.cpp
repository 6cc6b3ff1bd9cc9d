#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "wake_event.h"

namespace varnix {

std::intptr_t CreateWakeEvent() {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    return fd;
}

// The write fails only when the counter is about to overflow, and then the descriptor is
// readable already.
void SetWakeEvent(std::intptr_t wake) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(wake), &one, sizeof one);
}

// Nothing to read only means nobody signalled since the last reset.
void ResetWakeEvent(std::intptr_t wake) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(static_cast<int>(wake), &count, sizeof count);
}

void CloseWakeEvent(std::intptr_t wake) {
    ::close(static_cast<int>(wake));  // nothing to do if it fails
}

}  // namespace varnix
