// Opens a file for reading by its UTF-8 path, whatever characters the name holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace varnix {

// The open file, or null with errno set; the caller closes it.
std::FILE* OpenForReading(const std::string& path);

// The path names a file (not a folder) that exists.
bool IsExistingFile(const std::string& path);

// Reads the whole file into `bytes`; returns the empty string, or the system's reason.
std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace varnix
