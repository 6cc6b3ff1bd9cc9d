#include "file_open.h"

namespace varnix {

std::FILE* OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

}  // namespace varnix
