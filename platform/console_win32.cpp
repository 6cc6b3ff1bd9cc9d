#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "console.h"

namespace varnix {

namespace {

// The code page the attached console showed before, put back when the program ends: the
// console belongs to the shell that started the program and outlives it. A stop by Ctrl+C
// ends the program from another thread, hence the atomic.
std::atomic<UINT> previous_output_code_page{0};

bool LeadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void RestoreConsoleCodePage() {
    const UINT previous = previous_output_code_page.exchange(0);
    if (previous != 0) {
        std::fflush(nullptr);
        SetConsoleOutputCP(previous);
    }
}

// The program's texts are UTF-8: the console shows them as such. Pipes and files get the
// same bytes unchanged, as the code page only concerns the console.
void ShowUtf8OnConsole() {
    const UINT previous = GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) {
        return;
    }
    previous_output_code_page = previous;
    std::atexit(RestoreConsoleCodePage);
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
    ShowUtf8OnConsole();
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
    RestoreConsoleCodePage();
    std::fflush(nullptr);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace varnix
