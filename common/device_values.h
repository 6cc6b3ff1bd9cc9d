// The device's fixed sizes and defaults, shared by the link, the settings files, the
// window and the virtual device. Plain constants: this header depends on nothing.
#pragma once

#include <cstddef>

namespace varnix {

// Phone slots are numbered 1 to kSlotCount.
inline constexpr int kSlotCount = 500;
// The largest relay time-out in milliseconds the device is given.
inline constexpr int kTimeoutMaxMs = 59999;
// The password is this many decimal digits; the device and the window start with the default.
inline constexpr std::size_t kPasswordLength = 4;
inline constexpr char kDefaultPassword[] = "7093";
// The longest phone text: what a record of the device holds, and what the window lets a
// user type.
inline constexpr std::size_t kPhoneTextMax = 13;
// A phone records reply carries at most this many records.
inline constexpr std::size_t kRecordsPerReplyMax = 15;

}  // namespace varnix
