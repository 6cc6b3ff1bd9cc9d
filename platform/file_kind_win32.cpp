#include <windows.h>

#include <algorithm>
#include <array>
#include <cwctype>
#include <random>

#include "file_kind.h"
#include "utf16_win32.h"

namespace varnix {

namespace {

// A name in the device namespace, or one of the reserved device names (CON, NUL, COM1,
// ...), which Windows takes as the device in any folder and with any extension.
bool IsDeviceName(const std::wstring& path) {
    if (path.rfind(L"\\\\.\\", 0) == 0 || path.rfind(L"//./", 0) == 0) {
        return true;
    }
    const std::size_t slash = path.find_last_of(L"/\\:");
    std::wstring base = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.pop_back();
    }
    std::transform(base.begin(), base.end(), base.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    static const std::array<const wchar_t*, 6> kPlain = {L"CON", L"PRN",    L"AUX",
                                                         L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) {
        return true;
    }
    return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
           base[3] >= L'0' && base[3] <= L'9';
}

}  // namespace

PathKind PathKindOf(const std::string& path, std::string* failure) {
    const std::wstring name = Utf16FromUtf8(path);
    if (IsDeviceName(name)) {
        return PathKind::Device;
    }
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return PathKind::Missing;
        }
        if (failure != nullptr) {
            *failure = SystemErrorText(error);
        }
        return PathKind::Unknown;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (slash == std::string::npos) {
        return drive ? path.substr(0, 2) : ".";
    }
    // The root of the path keeps its separator: "\\" or "C:\\".
    return slash == 0 || (drive && slash == 2) ? path.substr(0, slash + 1) : path.substr(0, slash);
}

FolderWrite TryNewFileIn(const std::string& folder, std::string& failure) {
    std::random_device random;
    const std::wstring probe =
        Utf16FromUtf8(folder + "\\.varnix-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(random()));
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure = SystemErrorText(error);
        return error == ERROR_ACCESS_DENIED   ? FolderWrite::Denied
               : error == ERROR_WRITE_PROTECT ? FolderWrite::ReadOnlyDisk
                                              : FolderWrite::Failed;
    }
    CloseHandle(file);  // deletes it
    return FolderWrite::Allowed;
}

}  // namespace varnix
