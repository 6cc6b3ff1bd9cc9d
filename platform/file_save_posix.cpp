#include "file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
    const bool known = ::stat(like.c_str(), &original) == 0;
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           known ? (original.st_mode & 07777) : 0644);
    if (out < 0) {
        return Reason();
    }
    if (known) {
        // A file saved by another account (root, say) stays its owner's; where that is not
        // allowed, the saving account owns the new file.
        if (::fchown(out, original.st_uid, original.st_gid) != 0) {
            errno = 0;
        }
        ::fchmod(out, original.st_mode & 07777);  // the umask narrowed the open's mode
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

std::string FinalPathOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string out(resolved);
    std::free(resolved);
    return out;
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
