#include <cerrno>
#include <cstring>

#include "file_open.h"

namespace varnix {

std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    return failed ? std::strerror(error) : std::string();
}

}  // namespace varnix
