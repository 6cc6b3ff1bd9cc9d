#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <cstdio>

#include "console.h"

namespace varnix {

namespace {

bool LeadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void UseParentConsole() {
    const bool out = LeadsSomewhere(STD_OUTPUT_HANDLE);
    const bool err = LeadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    if (!out) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!err) {
        std::freopen("CONOUT$", "w", stderr);
    }
}

bool IsTerminal(int fd) {
    return _isatty(fd) != 0;
}

void MakeBinary(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

bool HasDisplay(int, const char* const*) {
    return true;
}

void EndBySignal(int) {
    std::fflush(nullptr);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace varnix
