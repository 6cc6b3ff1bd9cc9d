#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "file_kind.h"

namespace varnix {

PathKind PathKindOf(const std::string& path, std::string* failure) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            struct stat link {};
            return ::lstat(path.c_str(), &link) == 0 ? PathKind::BrokenLink : PathKind::Missing;
        }
        if (failure != nullptr) {
            *failure = std::strerror(error);
        }
        return PathKind::Unknown;
    }
    if (S_ISREG(info.st_mode)) {
        return PathKind::File;
    }
    if (S_ISDIR(info.st_mode)) {
        return PathKind::Folder;
    }
    if (S_ISFIFO(info.st_mode)) {
        return PathKind::Pipe;
    }
    if (S_ISSOCK(info.st_mode)) {
        return PathKind::Socket;
    }
    return PathKind::Device;
}

FolderWrite TryNewFileIn(const std::string& folder, std::string& failure) {
    std::random_device random;
    const std::string probe =
        folder + "/.varnix-probe-" + std::to_string(::getpid()) + "-" + std::to_string(random());
    const int file = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        const int error = errno;
        failure = std::strerror(error);
        return error == EACCES || error == EPERM ? FolderWrite::Denied
               : error == EROFS                  ? FolderWrite::ReadOnlyDisk
                                                 : FolderWrite::Failed;
    }
    ::close(file);
    ::unlink(probe.c_str());
    return FolderWrite::Allowed;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace varnix
