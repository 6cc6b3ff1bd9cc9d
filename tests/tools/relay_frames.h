// The frames a PC sends and the device's short replies, as the device's tests build them.
#pragma once

#include <cstdint>
#include <vector>

#include "device_logic.h"
#include "link_frame.h"

namespace varnix::testing {

using Bytes = std::vector<std::uint8_t>;

inline const Bytes kRead{0xAA, 0x01, 0x00, 0xEE};
inline const Bytes kAck{0xAA, 0x10, 0x00, 0xEE};
inline const Bytes kPasswordRequest{0xAA, 0x12, 0x00, 0xEE};
inline const Bytes kAccepted{0xAA, 0x20, 0x00, 0xEE};
inline const Bytes kRejected{0xAA, 0x21, 0x00, 0xEE};
inline const Bytes kEnd{0xAA, 0x24, 0x00, 0xEE};

inline Bytes WriteParameters(std::int32_t timeout, bool flag) {
    TxBufferBytes buffer;
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(
                                                      BuildWriteParameters(buffer, timeout, flag)));
}

inline Bytes WriteRecords(const std::vector<PhoneRecord>& records) {
    TxBufferBytes buffer;
    PhoneFrameBuilder frame(buffer);
    for (const auto& r : records) {
        frame.Append(r.slot, r.text);
    }
    const std::size_t length = frame.Finish();
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
}

}  // namespace varnix::testing
