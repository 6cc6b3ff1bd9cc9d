// The registry's value types, with the numbers Windows gives them. <windows.h> defines
// the same names as macros with the same numbers: include this header before it.
#pragma once

#include <cstdint>

namespace varnix {

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

}  // namespace varnix
