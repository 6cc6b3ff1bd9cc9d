#include "file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnix {

namespace {

std::string Reason() {
    return std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string WriteNewFileDurably(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                const std::string& like) {
    struct stat original {};
    const mode_t mode = ::stat(like.c_str(), &original) == 0 ? (original.st_mode & 07777) : 0644;
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        return Reason();
    }
    std::string error;
    for (std::size_t done = 0; done < bytes.size() && error.empty();) {
        const ssize_t put = ::write(out, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            error = put < 0 ? Reason() : "the disk took no more bytes";
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    if (error.empty() && ::fsync(out) != 0) {
        error = Reason();
    }
    if (::close(out) != 0 && error.empty()) {
        error = Reason();
    }
    if (!error.empty()) {
        ::unlink(path.c_str());
    }
    return error;
}

std::string ReplaceFileAtomically(const std::string& replacement, const std::string& target) {
    if (::rename(replacement.c_str(), target.c_str()) != 0) {
        return Reason();
    }
    // The rename lasts once the folder that records it is on the disk.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);  // some file systems refuse to flush a folder; the rename stands
        ::close(folder);
    }
    return {};
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace varnix
