#include <windows.h>

#include <system_error>

#include "wake_event.h"

namespace varnix {

std::intptr_t CreateWakeEvent() {
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    }
    return reinterpret_cast<std::intptr_t>(event);
}

// Setting and resetting a valid event cannot fail; the handle lives as long as the inbox.
void SetWakeEvent(std::intptr_t wake) {
    ::SetEvent(reinterpret_cast<HANDLE>(wake));
}

void ResetWakeEvent(std::intptr_t wake) {
    ::ResetEvent(reinterpret_cast<HANDLE>(wake));
}

void CloseWakeEvent(std::intptr_t wake) {
    ::CloseHandle(reinterpret_cast<HANDLE>(wake));
}

}  // namespace varnix
