#include "serial_os_posix.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace varnix {

int SerialOs::Open(const char* path, int flags) {
    return ::open(path, flags);
}
int SerialOs::Close(int fd) {
    return ::close(fd);
}
int SerialOs::Flock(int fd, int operation) {
    return ::flock(fd, operation);
}
int SerialOs::Fstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}
int SerialOs::TcGetAttr(int fd, termios* settings) {
    return ::tcgetattr(fd, settings);
}
int SerialOs::TcSetAttr(int fd, int when, const termios* settings) {
    return ::tcsetattr(fd, when, settings);
}
int SerialOs::TcFlush(int fd, int queue) {
    return ::tcflush(fd, queue);
}
int SerialOs::Ioctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
ssize_t SerialOs::Read(int fd, void* buffer, size_t count) {
    return ::read(fd, buffer, count);
}
ssize_t SerialOs::Write(int fd, const void* buffer, size_t count) {
    return ::write(fd, buffer, count);
}
int SerialOs::Poll(pollfd* fds, nfds_t count, const timespec* timeout) {
    return ::ppoll(fds, count, timeout, nullptr);
}
int SerialOs::EventFd() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

OsFailure ClassifyFailure(int error) {
    switch (error) {
        case EINTR:
        case EAGAIN:
            return OsFailure::Retry;
        case EBADF:
            return OsFailure::PortClosed;
        case ENOTTY:
        case EINVAL:
            return OsFailure::NotSupported;
        default:
            return OsFailure::LineGone;
    }
}

void SignalEvent(SerialOs& os, int fd) {
    const std::uint64_t one = 1;
    os.Write(fd, &one, sizeof one);
}

SerialOs& SerialOs::Real() {
    static SerialOs real;
    return real;
}

}  // namespace varnix
