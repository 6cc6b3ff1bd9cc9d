// The operations an input of the transfer fuzz target is read as: each starts with a
// byte whose value modulo kOpCount picks the operation; the byte's top bit is a variant.
// The bytes mutations produce most, 0x00 and 0xFF, pick the cheapest operations: a read
// start empties all 500 slots and would otherwise take most of the fuzzing time.
#pragma once

#include <cstdint>

namespace varnix::fuzz {

enum TransferOp : std::uint8_t {
    kTick = 0,  // 0 to 2
    kStartGet = 3,
    kStartRead = 4,
    kStartWrite = 5,
    kStartSet = 6,
    kBurst = 7,        // 7 and 8: length byte (with the top bit, a long burst), then the bytes
    kSetPhone = 9,     // slot bytes, length byte, text
    kSetField = 10,    // length byte, text: the password, or with the top bit the time-out
    kReopenPort = 11,  // with the top bit the next open fails
    kOpCount = 12,
};
inline constexpr std::uint8_t kVariant = 0x80;

}  // namespace varnix::fuzz
