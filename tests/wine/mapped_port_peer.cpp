// The Windows side of the mapped-port check (mapped_port_check.py drives the other end of
// the pseudo-terminal): opens the port by the name the program would use, through
// ResolvePortPath, and shows that data and carrier reach WaitCommEvent and that DTR
// reaches the line (off at "R", on at "C"). Prints what failed and returns 1; returns 0 when all
// went through.
#include <windows.h>

#include <cstdio>
#include <string>

#include "port_names.h"

namespace {

HANDLE port = INVALID_HANDLE_VALUE;

bool Fail(const char* what) {
    std::printf("%s failed: error %lu\n", what, GetLastError());
    return false;
}

bool Write(const std::string& text) {
    OVERLAPPED done{};
    done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD put = 0;
    const auto size = static_cast<DWORD>(text.size());
    const bool ok = WriteFile(port, text.data(), size, &put, &done) != FALSE ||
                    (GetLastError() == ERROR_IO_PENDING &&
                     GetOverlappedResult(port, &done, &put, TRUE) != FALSE);
    CloseHandle(done.hEvent);
    return (ok && put == size) || Fail("WriteFile");
}

// Waits for one of `wanted`; other events are passed over.
bool WaitFor(DWORD wanted) {
    OVERLAPPED done{};
    done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool ok = false;
    for (int tries = 0; tries < 5 && !ok; ++tries) {
        DWORD mask = 0;
        DWORD unused = 0;
        ResetEvent(done.hEvent);
        if (WaitCommEvent(port, &mask, &done) == FALSE) {
            if (GetLastError() != ERROR_IO_PENDING ||
                WaitForSingleObject(done.hEvent, 10000) != WAIT_OBJECT_0 ||
                GetOverlappedResult(port, &done, &unused, FALSE) == FALSE) {
                break;
            }
        }
        ok = (mask & wanted) != 0;
    }
    CloseHandle(done.hEvent);
    return ok || Fail("WaitCommEvent");
}

bool ReadExactly(char* buffer, DWORD size) {
    OVERLAPPED done{};
    done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD got = 0;
    const bool ok = ReadFile(port, buffer, size, &got, &done) != FALSE ||
                    (GetLastError() == ERROR_IO_PENDING &&
                     GetOverlappedResult(port, &done, &got, TRUE) != FALSE);
    CloseHandle(done.hEvent);
    return (ok && got == size) || Fail("ReadFile");
}

bool Run(const std::string& name) {
    const auto path = varnix::ResolvePortPath(name);
    port = CreateFileA(path.value_or("").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return Fail("CreateFile");
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 10000;
    if (GetCommState(port, &settings) == FALSE) {
        return Fail("GetCommState");
    }
    settings.BaudRate = CBR_9600;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    if (SetCommState(port, &settings) == FALSE || SetCommTimeouts(port, &timeouts) == FALSE ||
        SetCommMask(port, EV_RXCHAR | EV_RLSD) == FALSE ||
        EscapeCommFunction(port, CLRDTR) == FALSE) {
        return Fail("setting up the port");
    }
    // The far end sends five bytes after it has seen "R", and raises carrier after the echo;
    // it waits a while each time so that the event comes while WaitCommEvent waits.
    char data[5] = {};
    if (!Write("R") || !WaitFor(EV_RXCHAR) || !ReadExactly(data, sizeof data) ||
        !Write(std::string(data, sizeof data))) {
        return false;
    }
    DWORD lines = 0;
    if (!WaitFor(EV_RLSD) || GetCommModemStatus(port, &lines) == FALSE) {
        return Fail("carrier");
    }
    if ((lines & MS_RLSD_ON) == 0) {
        std::printf("carrier reported off after its event\n");
        return false;
    }
    return (EscapeCommFunction(port, SETDTR) != FALSE || Fail("EscapeCommFunction")) && Write("C");
}

}  // namespace

int main(int argc, char** argv) {
    const bool ok = argc == 2 && Run(argv[1]);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
    }
    return ok ? 0 : 1;
}
