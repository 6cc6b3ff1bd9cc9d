#include "link_frame.h"

#include <algorithm>
#include <cstring>

namespace varnix {

namespace {

std::uint8_t HighByte(std::uint32_t value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}
std::uint8_t LowByte(std::uint32_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t ReadWord(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] * 256 + at[1]);
}

// A text in the work area runs from `begin` to the first zero byte, or to `end`.
std::string ReadText(const std::uint8_t* begin, const std::uint8_t* end) {
    const auto* zero = std::find(begin, end, std::uint8_t{0});
    return Latin1ToUtf8(std::string(begin, zero));
}

}  // namespace

std::size_t BuildShortFrame(std::uint8_t* dest, Command code) {
    dest[0] = kFrameStart;
    dest[1] = static_cast<std::uint8_t>(code);
    dest[2] = 0x00;
    dest[3] = kFrameEnd;
    return kShortFrameLength;
}

std::size_t BuildWriteParameters(TxBufferBytes& buffer, std::int32_t timeoutMs,
                                 bool externalDisconnect) {
    buffer.fill(0);
    const auto bits = static_cast<std::uint32_t>(timeoutMs);
    buffer[0] = kFrameStart;
    buffer[1] = static_cast<std::uint8_t>(Command::WriteParameters);
    buffer[2] = kParameterBlockLength;
    buffer[5] = HighByte(bits);
    buffer[6] = LowByte(bits);
    buffer[7] = externalDisconnect ? 0x01 : 0x00;
    buffer[12] = kFrameEnd;
    return kParametersFrameLength;
}

std::size_t BuildSetPassword(TxBufferBytes& buffer, std::string_view password) {
    const std::string bytes = Utf8ToLatin1(password);
    buffer[0] = kFrameStart;
    buffer[1] = static_cast<std::uint8_t>(Command::SetPassword);
    for (std::size_t i = 0; i < kPasswordLength; ++i) {
        buffer[2 + i] = static_cast<std::uint8_t>(bytes.at(i));
    }
    buffer[6] = kFrameEnd;
    return kSetPasswordFrameLength;
}

void PutPhoneRecord(std::uint8_t* frame, std::size_t index, int slot, std::string_view text) {
    std::uint8_t* record = frame + 3 + kRecordSize * index;
    std::memset(record, 0, kRecordSize);
    const auto slotBits = static_cast<std::uint32_t>(slot);
    record[0] = HighByte(slotBits);
    record[1] = LowByte(slotBits);
    const std::string bytes = Utf8ToLatin1(text);
    std::memcpy(record + 2, bytes.data(), std::min(bytes.size(), kPhoneTextMax));
}

PhoneFrameBuilder::PhoneFrameBuilder(TxBufferBytes& buffer) : buffer_(buffer) {
    buffer_.fill(0);
    buffer_[0] = kFrameStart;
    buffer_[1] = static_cast<std::uint8_t>(Command::WritePhoneRecords);
}

void PhoneFrameBuilder::Append(int slot, std::string_view text) {
    PutPhoneRecord(buffer_.data(), count_, slot, text);
    ++count_;
}

std::size_t PhoneFrameBuilder::Finish() {
    const std::size_t payload = kRecordSize * count_;
    buffer_[2] = static_cast<std::uint8_t>(payload);
    buffer_[3 + payload] = kFrameEnd;
    return payload + 4;
}

FrameBytes BuildStatusReply(Command code) {
    FrameBytes frame(kShortFrameLength);
    BuildShortFrame(frame.data(), code);
    return frame;
}

FrameBytes BuildPasswordReply(std::string_view password) {
    const std::string bytes = Utf8ToLatin1(password);
    FrameBytes frame(bytes.size() + 4, 0);
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(Command::Password);
    std::copy(bytes.begin(), bytes.end(), frame.begin() + 2);
    frame.back() = kFrameEnd;
    return frame;
}

FrameBytes BuildParametersReply(std::uint16_t recordCount, std::uint16_t timeoutMs,
                                bool externalDisconnect) {
    FrameBytes frame(kParametersFrameLength, 0);
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(Command::ParametersReply);
    frame[2] = kParameterBlockLength;
    frame[3] = HighByte(recordCount);
    frame[4] = LowByte(recordCount);
    frame[5] = HighByte(timeoutMs);
    frame[6] = LowByte(timeoutMs);
    frame[7] = externalDisconnect ? 0x01 : 0x00;
    frame[12] = kFrameEnd;
    return frame;
}

FrameBytes BuildPhoneRecordsReply(const std::vector<PhoneRecord>& records) {
    const std::size_t count = std::min(records.size(), kRecordsPerReplyMax);
    FrameBytes frame(3 + kRecordSize * count + 1, 0);
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(Command::PhoneRecordsReply);
    frame[2] = static_cast<std::uint8_t>(count << 4);
    for (std::size_t k = 0; k < count; ++k) {
        PutPhoneRecord(frame.data(), k, records[k].slot, records[k].text);
    }
    frame.back() = kFrameEnd;
    return frame;
}

PhoneRecord ReadPhoneRecord(const std::uint8_t* record) {
    return {ReadWord(record), ReadText(record + 2, record + 2 + kPhoneTextMax)};
}

Reply RecognizeReply(const std::uint8_t* burst, std::size_t length) {
    Reply reply;
    if (length == 0) {
        return reply;
    }
    std::array<std::uint8_t, kReceiveAreaSize> area{};
    const std::size_t copied = std::min(length, kReceiveAreaSize);
    std::memcpy(area.data(), burst, copied);
    if (burst[length - 1] != kFrameEnd) {
        return reply;
    }
    const std::uint8_t* const areaEnd = area.data() + area.size();
    switch (area[1]) {
        case static_cast<std::uint8_t>(Command::Accepted):
            reply.kind = ReplyKind::Accepted;
            break;
        case static_cast<std::uint8_t>(Command::Status21):
            reply.kind = ReplyKind::Status21;
            break;
        case static_cast<std::uint8_t>(Command::TransferEnd):
            reply.kind = ReplyKind::TransferEnd;
            break;
        case static_cast<std::uint8_t>(Command::Password): {
            // The text also stops before the burst's own end byte, so digits followed
            // directly by 0xEE do not carry that byte into the password.
            const std::size_t textEnd = std::min(length - 1, kReceiveAreaSize);
            reply.kind = ReplyKind::Password;
            reply.password = textEnd > 2 ? ReadText(&area[2], &area[textEnd]) : std::string();
            break;
        }
        case static_cast<std::uint8_t>(Command::ParametersReply):
            if (area[2] != kParameterBlockLength) {
                break;
            }
            reply.kind = ReplyKind::Parameters;
            reply.recordCount = ReadWord(&area[3]);
            reply.timeoutMs = ReadWord(&area[5]);
            reply.externalDisconnect = area[7] != 0x00;
            break;
        case static_cast<std::uint8_t>(Command::PhoneRecordsReply): {
            reply.kind = ReplyKind::PhoneRecords;
            const std::size_t count = area[2] >> 4;
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint8_t* record = &area[3 + kRecordSize * k];
                reply.records.push_back({ReadWord(record), ReadText(record + 2, areaEnd)});
            }
            break;
        }
        default:
            break;
    }
    return reply;
}

}  // namespace varnix
