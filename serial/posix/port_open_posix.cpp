#include "port_open_posix.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "port_names.h"

namespace varnix {

namespace {

// Whether the account belongs to `gid` according to the group database, which is what
// the next login will give it.
bool AccountInGroup(const passwd& account, gid_t gid) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(account.pw_name, account.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(account.pw_name, account.pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    groups.resize(static_cast<std::size_t>(count));
    for (gid_t group : groups) {
        if (group == gid) {
            return true;
        }
    }
    return false;
}

// The group owning the device, which would permit the open, and whether this account
// has it from the next login on. Nothing when the device cannot be looked at either.
void DescribePermission(PortOpenError& tried, const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return;
    }
    if (const group* owner = getgrgid(info.st_gid)) {
        tried.group = owner->gr_name;
    }
    if (const passwd* account = getpwuid(getuid())) {
        tried.user = account->pw_name;
        tried.inGroupLater = AccountInGroup(*account, info.st_gid);
    }
}

PortOpenFault FaultOfOpen(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return PortOpenFault::NotPermitted;
        case EBUSY:
            return PortOpenFault::Busy;
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
        case ENXIO:
        case ENODEV:
            return PortOpenFault::Missing;
        default:
            return PortOpenFault::Other;
    }
}

constexpr char kOpenFailed[] = "Error opening serial port";

PortDevice Refused(PortDevice device, const char* message, PortOpenFault fault,
                   std::string reason) {
    device.fd = -1;
    device.message = message;
    device.tried.fault = fault;
    device.tried.reason = std::move(reason);
    return device;
}

}  // namespace

PortDevice OpenPortDevice(SerialOs& os, const std::string& name) {
    PortDevice device;
    const auto path = ResolvePortPath(name);
    if (!path) {
        return Refused(std::move(device), kOpenFailed, PortOpenFault::NoName, {});
    }
    PortOpenError& tried = device.tried;
    tried.path = *path;
    if (*path == PortLinkFolder() + "/" + name) {
        char target[4096] = {};
        const ssize_t length = readlink(path->c_str(), target, sizeof target - 1);
        if (length > 0) {
            tried.path.assign(target, static_cast<std::size_t>(length));
            tried.linked = true;
        }
    }
    // Without O_NONBLOCK a modem line could wait for its carrier.
    const int fd = os.Open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        device = Refused(std::move(device), kOpenFailed, FaultOfOpen(error), std::strerror(error));
        if (device.tried.fault == PortOpenFault::NotPermitted) {
            DescribePermission(device.tried, *path);
        }
        return device;
    }
    // Until the descriptor is handed over, a failure closes it alone; a failed close
    // leaves nothing to undo.
    const auto refuse = [&](const char* message, PortOpenFault fault, std::string reason) {
        os.Close(fd);
        return Refused(std::move(device), message, fault, std::move(reason));
    };
    // No sharing: the lock keeps out every other opener, root included.
    if (os.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse(kOpenFailed, PortOpenFault::Busy, std::strerror(errno));
    }
    struct stat info {};
    if (os.Fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return refuse("File handle is not a comm handle ", PortOpenFault::NotADevice,
                      "not a character device");
    }
    termios probe{};
    if (os.TcGetAttr(fd, &probe) != 0) {
        // A ttyS node with no UART behind it answers EIO.
        const int error = errno;
        return refuse("Cannot setup comm buffer",
                      error == EIO ? PortOpenFault::NoHardware : PortOpenFault::Other,
                      std::strerror(error));
    }
    device.fd = fd;
    return device;
}

}  // namespace varnix
