#include "file_copy.h"

#include <windows.h>

#include "utf16_win32.h"

namespace varnix {

bool CopyFileNoOverwrite(const std::string& source, const std::string& target) {
    const std::wstring to = Utf16FromUtf8(target);
    // Fails when the target exists; a copy that fails part-way is removed by the system.
    if (CopyFileW(Utf16FromUtf8(source).c_str(), to.c_str(), TRUE) == FALSE) {
        return false;
    }
    // The copy keeps the source's attributes: a read-only template must not make a
    // read-only work file, which every save would then fail to write (and report so).
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return true;
}

}  // namespace varnix
