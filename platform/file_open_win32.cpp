#include "file_open.h"

#include <windows.h>

#include "utf16_win32.h"

namespace varnix {

// The narrow fopen takes the ANSI code page, where names outside it cannot be spelt.
std::FILE* OpenForReading(const std::string& path) {
    return _wfopen(Utf16FromUtf8(path).c_str(), L"rb");
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Utf16FromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace varnix
