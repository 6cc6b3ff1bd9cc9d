#include "windows_directory.h"

#include <windows.h>

#include "utf16_win32.h"

namespace varnix {

namespace {

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Utf16FromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of the running program, without a trailing backslash.
std::string ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return Utf8FromUtf16(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

}  // namespace

std::string WindowsDirectory() {
    const UINT length = GetWindowsDirectoryW(nullptr, 0);  // with the terminating zero
    if (length == 0) {
        return {};
    }
    std::wstring folder(length, L'\0');
    folder.resize(GetWindowsDirectoryW(folder.data(), length));
    return Utf8FromUtf16(folder);
}

std::string TemplatePath() {
    const std::string system = WindowsDirectory() + "\\zur.mdb";
    if (FileExists(system)) {
        return system;
    }
    // A copy unpacked without administrator rights keeps the template beside the program.
    const std::string beside = ExecutableFolder() + "\\zur.mdb";
    return FileExists(beside) ? beside : system;
}

}  // namespace varnix
