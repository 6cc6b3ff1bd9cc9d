#include "file_open.h"

#include "utf16_win32.h"

namespace varnix {

// The narrow fopen takes the ANSI code page, where names outside it cannot be spelt.
std::FILE* OpenForReading(const std::string& path) {
    return _wfopen(Utf16FromUtf8(path).c_str(), L"rb");
}

}  // namespace varnix
