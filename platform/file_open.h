// Opens a file for reading by its UTF-8 path, whatever characters the name holds.
#pragma once

#include <cstdio>
#include <string>

namespace varnix {

// The open file, or null with errno set; the caller closes it.
std::FILE* OpenForReading(const std::string& path);

}  // namespace varnix
