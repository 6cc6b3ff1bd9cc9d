// Frames of the serial link to the relay device: 0xAA, command code, payload length,
// payload, 0xEE. 16-bit numbers go high byte first; there is no checksum and no escaping.
// Texts (phone numbers, the password) are UTF-8 here, as everywhere in the program; in a
// frame each character is one Latin-1 byte, and a character without one goes out as '?'.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decimal_number.h"
#include "device_values.h"
#include "latin1.h"

namespace varnix {

inline constexpr std::uint8_t kFrameStart = 0xAA;
inline constexpr std::uint8_t kFrameEnd = 0xEE;

inline constexpr std::size_t kRecordSize = 16;
inline constexpr std::size_t kRecordsPerWrite = 5;

inline constexpr std::size_t kTxBufferSize = 500;
inline constexpr std::size_t kReceiveAreaSize = 500;

inline constexpr std::size_t kShortFrameLength = 4;
inline constexpr std::size_t kParametersFrameLength = 13;
inline constexpr std::size_t kSetPasswordFrameLength = 7;
inline constexpr std::uint8_t kParameterBlockLength = 0x09;

// Command codes. 0x12 is used in both directions.
enum class Command : std::uint8_t {
    ReadRequest = 0x01,
    WriteParameters = 0x02,
    WritePhoneRecords = 0x03,
    Acknowledge = 0x10,
    Password = 0x12,
    SetPassword = 0x13,
    Accepted = 0x20,
    Status21 = 0x21,
    TransferEnd = 0x24,
    ParametersReply = 0x22,
    PhoneRecordsReply = 0x23,
};

using TxBufferBytes = std::array<std::uint8_t, kTxBufferSize>;

// A 4-byte frame 0xAA, code, 0x00, 0xEE written at `dest`; returns its length.
std::size_t BuildShortFrame(std::uint8_t* dest, Command code);

// The write parameters frame: zeroes the whole buffer first. The time-out goes out as
// its low 16 bits, high byte first.
std::size_t BuildWriteParameters(TxBufferBytes& buffer, std::int32_t timeoutMs,
                                 bool externalDisconnect);

// The set password frame: only bytes 0 to 6 are written. `password` must hold at least
// four characters; the first four are sent.
std::size_t BuildSetPassword(TxBufferBytes& buffer, std::string_view password);

struct PhoneRecord {
    int slot = 0;
    std::string text;
    friend bool operator==(const PhoneRecord&, const PhoneRecord&) = default;
};

// Writes 16-byte phone records into a frame buffer starting at byte 3 (record k at
// 3 + 16k): slot high, slot low, up to 13 text characters, zero fill.
void PutPhoneRecord(std::uint8_t* frame, std::size_t index, int slot, std::string_view text);

// Builds a write phone records frame (0x03) record by record: Start zeroes the buffer,
// Append adds one record, Finish writes the length and end bytes and returns the length.
class PhoneFrameBuilder {
  public:
    explicit PhoneFrameBuilder(TxBufferBytes& buffer);
    void Append(int slot, std::string_view text);
    std::size_t Count() const { return count_; }
    std::size_t Finish();

  private:
    TxBufferBytes& buffer_;
    std::size_t count_ = 0;
};

// The device's side of the link, for whatever plays the device.
using FrameBytes = std::vector<std::uint8_t>;
FrameBytes BuildStatusReply(Command code);  // 0xAA, code, 0x00, 0xEE
FrameBytes BuildPasswordReply(std::string_view password);
FrameBytes BuildParametersReply(std::uint16_t recordCount, std::uint16_t timeoutMs,
                                bool externalDisconnect);
// Up to 15 records.
FrameBytes BuildPhoneRecordsReply(const std::vector<PhoneRecord>& records);
// One 16-byte record of a write phone records frame: its text ends at the first zero
// byte, after 13 characters at most.
PhoneRecord ReadPhoneRecord(const std::uint8_t* record);

// What a received burst turned out to be. The status replies carry the numbers the
// transfers record them by in ReplyFlag (1, 2, 8); None is 0.
enum class ReplyKind : std::int32_t {
    None = 0,
    Accepted = 1,
    Status21 = 2,
    TransferEnd = 8,
    Password,
    Parameters,
    PhoneRecords,
};

struct Reply {
    ReplyKind kind = ReplyKind::None;
    std::string password;              // Password
    std::uint16_t recordCount = 0;     // Parameters: records the device will send
    std::uint16_t timeoutMs = 0;       // Parameters
    bool externalDisconnect = false;   // Parameters
    std::vector<PhoneRecord> records;  // PhoneRecords, in frame order
};

// Recognises the first frame of one burst. The burst is copied into a zero-filled
// 500-byte work area, so a short reply reads as zero-filled. Byte 0 is not examined;
// the burst's last byte must be 0xEE. A burst longer than the work area is examined by
// its first 500 bytes, its real last byte still being the end byte.
Reply RecognizeReply(const std::uint8_t* burst, std::size_t length);

}  // namespace varnix
