// The port choice the port setup dialog keeps: the index of "COM1" to "COM15" in the
// registry value "COM1" of \Software\ZUR\Pellion. The window's dialog shows it; the
// command line opens it when no port is given.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace varnix {

inline constexpr char kPortSetupKey[] = "\\Software\\ZUR\\Pellion";
inline constexpr char kPortSetupValue[] = "COM1";
inline constexpr int kPortNameCount = 15;

// "COM1" for index 0 and so on; empty outside the list.
std::string PortNameAt(std::int32_t index);

// The registry's messages about the value, its name put in for "%s".
std::runtime_error PortChoiceError(const char* format);

// The stored index, as stored (it may lie outside the list); nothing when the key cannot be
// opened. Throws PortChoiceError when the value is missing or not a number.
std::optional<std::int32_t> StoredPortIndex();

// The name the stored choice selects: "COM1" when nothing is stored, empty when the index
// lies outside the list. Throws as StoredPortIndex.
std::string RememberedPortName();

}  // namespace varnix
