#include "file_copy.h"

#include <windows.h>

#include "utf16_win32.h"

namespace varnix {

bool CopyFileNoOverwrite(const std::string& source, const std::string& target) {
    // Fails when the target exists; a copy that fails part-way is removed by the system.
    return CopyFileW(Utf16FromUtf8(source).c_str(), Utf16FromUtf8(target).c_str(), TRUE) != FALSE;
}

}  // namespace varnix
