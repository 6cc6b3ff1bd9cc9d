#include "file_save.h"

#include <windows.h>

#include <algorithm>

#include "utf16_win32.h"

namespace varnix {

namespace {

// The full path, with backslashes. Wine's ReplaceFile moves the original aside through a
// temporary name in a folder it cuts from the path as written, at the last backslash: a
// bare file name or a path with forward slashes gives it none, and the call fails with
// ERROR_DIRECTORY.
std::wstring FullPathOf(const std::string& path) {
    const std::wstring name = Utf16FromUtf8(path);
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return name;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return name;
    }
    full.resize(length);
    return full;
}

}  // namespace

std::string WriteNewFileDurably(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                const std::string& like) {
    (void)like;  // ReplaceFile carries the original's attributes and security over
    const std::wstring name = Utf16FromUtf8(path);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SystemErrorText(GetLastError());
    }
    std::string error;
    for (std::size_t done = 0; done < bytes.size() && error.empty();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD put = 0;
        if (WriteFile(file, bytes.data() + done, chunk, &put, nullptr) == FALSE) {
            error = SystemErrorText(GetLastError());
        } else if (put == 0) {
            error = "the disk took no more bytes";
        }
        done += put;
    }
    if (error.empty() && FlushFileBuffers(file) == FALSE) {
        error = SystemErrorText(GetLastError());
    }
    CloseHandle(file);
    if (!error.empty()) {
        DeleteFileW(name.c_str());
    }
    return error;
}

std::string ReplaceFileAtomically(const std::string& replacement, const std::string& target) {
    const std::wstring to = FullPathOf(target);
    const std::wstring from = FullPathOf(replacement);
    if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                     nullptr) != FALSE) {
        return {};
    }
    // With no backup name asked for, a failed call leaves the original under its own name.
    return SystemErrorText(GetLastError());
}

std::string FinalPathOf(const std::string& path) {
    return path;  // a work file is not reached through links here
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Utf16FromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(Utf16FromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveFile(const std::string& path) {
    DeleteFileW(Utf16FromUtf8(path).c_str());
}

}  // namespace varnix
