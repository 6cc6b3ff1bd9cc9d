// What the virtual relay device holds: 500 phone numbers, the relay time-out, the external
// disconnection flag and the password, and the plain text file it can be kept in.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link_frame.h"

namespace varnix {

struct DeviceState {
    std::array<std::string, kSlotCount + 1> phones;  // slots 1 to 500; phones[0] is unused
    std::uint16_t timeoutMs = 0;
    bool externalDisconnect = false;
    std::string password = kDefaultPassword;

    int NumberCount() const;
    void ClearNumbers();
};

// A telephone number made up for slot `slot`: 13 characters at most, digits and "+".
std::string GeneratedNumber(int slot);
// Puts generated numbers into phones 1 to `count`.
void FillGeneratedNumbers(DeviceState& state, int count);

// The state file: one "slot=number" line per non-empty slot, then "timeout=", "flag="
// and "password=" lines. Blank lines and lines starting with "#" are skipped. On failure
// `error` says which line is wrong and the state is left as it was.
bool LoadDeviceState(const std::string& path, DeviceState& state, std::string& error);
// Written to a temporary file first and then renamed over the old one.
bool SaveDeviceState(const std::string& path, const DeviceState& state, std::string& error);

}  // namespace varnix
