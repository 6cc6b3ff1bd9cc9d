#include "pc_frame_parser.h"

#include <algorithm>

namespace varnix {

void PcFrameParser::Feed(const std::uint8_t* bytes, std::size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

void PcFrameParser::Skip() {
    buffer_.erase(buffer_.begin());
    ++skipped_;
}

int PcFrameParser::FrameLength() const {
    if (buffer_.size() < 3) {
        return -1;
    }
    switch (static_cast<Command>(buffer_[1])) {
        case Command::ReadRequest:
        case Command::Acknowledge:
        case Command::Password:
            return buffer_[2] == 0x00 ? static_cast<int>(kShortFrameLength) : 0;
        case Command::WriteParameters:
            return buffer_[2] == kParameterBlockLength ? static_cast<int>(kParametersFrameLength)
                                                       : 0;
        case Command::SetPassword:
            return static_cast<int>(kSetPasswordFrameLength);
        case Command::WritePhoneRecords: {
            const std::size_t payload = buffer_[2];
            const std::size_t records = payload / kRecordSize;
            if (payload % kRecordSize != 0 || records < 1 || records > kRecordsPerWrite) {
                return 0;
            }
            return static_cast<int>(payload + 4);
        }
        default:
            return 0;
    }
}

std::optional<FrameBytes> PcFrameParser::Next() {
    for (;;) {
        const auto start = std::find(buffer_.begin(), buffer_.end(), kFrameStart);
        skipped_ += static_cast<std::size_t>(start - buffer_.begin());
        buffer_.erase(buffer_.begin(), start);
        const int length = FrameLength();
        if (length < 0) {
            return std::nullopt;
        }
        if (length == 0) {
            Skip();
            continue;
        }
        const auto size = static_cast<std::size_t>(length);
        if (buffer_.size() < size) {
            return std::nullopt;
        }
        if (buffer_[size - 1] != kFrameEnd) {
            Skip();
            continue;
        }
        FrameBytes frame(buffer_.begin(), buffer_.begin() + length);
        buffer_.erase(buffer_.begin(), buffer_.begin() + length);
        return frame;
    }
}

}  // namespace varnix
