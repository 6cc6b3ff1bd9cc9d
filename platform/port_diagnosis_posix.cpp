#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "port_diagnosis.h"
#include "port_names.h"

namespace varnix {

namespace {

using Problem = PortDiagnosis::Problem;

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

void DescribePermission(PortDiagnosis& result, const struct stat& info) {
    result.problem = Problem::Permission;
    if (const group* owner = getgrgid(info.st_gid)) {
        result.group = owner->gr_name;
    }
    if (const passwd* account = getpwuid(getuid())) {
        result.user = account->pw_name;
        result.inGroupLater = AccountInGroup(*account, info.st_gid);
    }
}

}  // namespace

PortDiagnosis DiagnosePort(const std::string& name) {
    PortDiagnosis result;
    const auto path = ResolvePortPath(name);
    if (!path) {
        result.problem = Problem::NoName;
        return result;
    }
    result.path = *path;
    if (*path == PortLinkFolder() + "/" + name) {
        char target[4096] = {};
        const ssize_t length = readlink(path->c_str(), target, sizeof target - 1);
        if (length > 0) {
            result.path.assign(target, static_cast<std::size_t>(length));
            result.linked = true;
        }
    }
    struct stat info {};
    if (stat(path->c_str(), &info) != 0) {
        result.problem = errno == EACCES ? Problem::Permission : Problem::Missing;
        result.reason = std::strerror(errno);
        return result;
    }
    // Opened as the serial port opens it; without O_NONBLOCK a modem line could wait.
    const int fd = open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        result.reason = std::strerror(error);
        if (error == EACCES || error == EPERM) {
            DescribePermission(result, info);
        } else if (error == EBUSY) {
            result.problem = Problem::Busy;
        } else if (error == ENOENT || error == ENXIO || error == ENODEV) {
            result.problem = Problem::Missing;
        } else {
            result.problem = Problem::Other;
        }
        return result;
    }
    termios probe{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result.problem = Problem::Busy;
        result.reason = std::strerror(errno);
    } else if (!S_ISCHR(info.st_mode)) {
        result.problem = Problem::Other;
        result.reason = "not a character device";
    } else if (tcgetattr(fd, &probe) != 0) {
        // A ttyS node with no UART behind it answers EIO.
        result.problem = errno == EIO ? Problem::NoHardware : Problem::Other;
        result.reason = std::strerror(errno);
    }
    // Read-only probe: closing drops the lock; nothing was changed on the line.
    close(fd);
    return result;
}

}  // namespace varnix
