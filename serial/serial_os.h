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

}  // namespace varnix
