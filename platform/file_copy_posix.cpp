#include "file_copy.h"

#include <fcntl.h>
#include <unistd.h>

namespace varnix {

bool CopyFileNoOverwrite(const std::string& source, const std::string& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool good = true;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            good = false;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put <= 0) {
                good = false;
                break;
            }
            done += put;
        }
        if (!good) {
            break;
        }
    }
    good = good && ::fsync(out) == 0;
    good = ::close(out) == 0 && good;
    ::close(in);
    if (!good) {
        ::unlink(target.c_str());
    }
    return good;
}

}  // namespace varnix
