// The operating-system calls the serial component makes, behind one interface so that
// tests can produce what a pseudo-terminal cannot (modem lines, driver errors). Each call
// behaves like the system call of the same name: -1 with errno on failure.
#pragma once

#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

#include <ctime>

namespace varnix {

class SerialOs {
  public:
    virtual ~SerialOs() = default;
    virtual int Open(const char* path, int flags);
    virtual int Close(int fd);
    virtual int Flock(int fd, int operation);
    virtual int Fstat(int fd, struct stat* info);
    virtual int TcGetAttr(int fd, termios* settings);
    virtual int TcSetAttr(int fd, int when, const termios* settings);
    virtual int TcFlush(int fd, int queue);
    virtual int Ioctl(int fd, unsigned long request, void* argument);
    virtual ssize_t Read(int fd, void* buffer, size_t count);
    virtual ssize_t Write(int fd, const void* buffer, size_t count);
    // Waits without limit when `timeout` is null.
    virtual int Poll(pollfd* fds, nfds_t count, const timespec* timeout);
    virtual int EventFd();

    static SerialOs& Real();
};

// What a failed call's errno means to a worker thread.
enum class OsFailure {
    Retry,         // interrupted, or nothing to do yet
    PortClosed,    // the descriptor was closed under the thread: end quietly
    NotSupported,  // the driver does not offer the request
    LineGone,      // anything else: the line is unusable
};
OsFailure ClassifyFailure(int error);

// Makes an eventfd readable. The write can fail only when the counter is about to
// overflow, and then the descriptor is readable already, so its result is not needed.
void SignalEvent(SerialOs& os, int fd);

}  // namespace varnix
