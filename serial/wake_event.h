// A wake handle that one thread signals and another's event loop watches: an eventfd on
// Linux, a manual-reset event on Windows.
#pragma once

#include <cstdint>

namespace varnix {

// Throws std::system_error when none can be created.
std::intptr_t CreateWakeEvent();
void SetWakeEvent(std::intptr_t wake);
void ResetWakeEvent(std::intptr_t wake);
void CloseWakeEvent(std::intptr_t wake);

}  // namespace varnix
