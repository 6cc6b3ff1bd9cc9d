#include "device_logic.h"

#include <algorithm>

namespace varnix {

std::vector<FrameBytes> DeviceLogic::OnFrame(const FrameBytes& frame) {
    ++framesSeen_;
    if (behaviour_.hangupAfter > 0 && framesSeen_ >= behaviour_.hangupAfter) {
        hangupDue_ = true;
        return {};
    }
    if (behaviour_.dropEvery > 0 && framesSeen_ % behaviour_.dropEvery == 0) {
        return {};
    }
    if (behaviour_.silent) {
        return {};
    }
    return Handle(frame);
}

FrameBytes DeviceLogic::NextReadReply() {
    if (readNext_ >= readSlots_.size()) {
        reading_ = false;
        return BuildStatusReply(Command::TransferEnd);
    }
    std::vector<PhoneRecord> records;
    const auto perReply = static_cast<std::size_t>(
        std::clamp(behaviour_.recordsPerReply, 0, static_cast<int>(kRecordsPerReplyMax)));
    while (records.size() < perReply && readNext_ < readSlots_.size()) {
        const int slot = readSlots_[readNext_++];
        records.push_back({slot, state_.phones[static_cast<std::size_t>(slot)]});
    }
    return BuildPhoneRecordsReply(records);
}

std::vector<FrameBytes> DeviceLogic::Handle(const FrameBytes& frame) {
    const bool isWrite = frame[1] == static_cast<std::uint8_t>(Command::WriteParameters) ||
                         frame[1] == static_cast<std::uint8_t>(Command::WritePhoneRecords) ||
                         frame[1] == static_cast<std::uint8_t>(Command::SetPassword);
    if (isWrite && behaviour_.reject) {
        return {BuildStatusReply(Command::Status21)};
    }
    switch (static_cast<Command>(frame[1])) {
        case Command::ReadRequest: {
            readSlots_.clear();
            for (int slot = 1; slot <= kSlotCount; ++slot) {
                if (!state_.phones[static_cast<std::size_t>(slot)].empty()) {
                    readSlots_.push_back(slot);
                }
            }
            readNext_ = 0;
            reading_ = true;
            const int count = behaviour_.announce.value_or(static_cast<int>(readSlots_.size()));
            return {BuildParametersReply(static_cast<std::uint16_t>(count), state_.timeoutMs,
                                         state_.externalDisconnect)};
        }
        case Command::Acknowledge:
            if (!reading_) {
                return {};
            }
            return {NextReadReply()};
        case Command::WriteParameters:
            reading_ = false;
            state_.ClearNumbers();
            state_.timeoutMs = static_cast<std::uint16_t>(frame[5] * 256 + frame[6]);
            state_.externalDisconnect = frame[7] != 0;
            return {WriteAnswer()};
        case Command::WritePhoneRecords: {
            const std::size_t count = frame[2] / kRecordSize;
            for (std::size_t k = 0; k < count; ++k) {
                const PhoneRecord record = ReadPhoneRecord(&frame[3 + kRecordSize * k]);
                if (record.slot >= 1 && record.slot <= kSlotCount) {
                    state_.phones[static_cast<std::size_t>(record.slot)] = record.text;
                }
            }
            return {WriteAnswer()};
        }
        case Command::Password:
            return {BuildPasswordReply(state_.password)};
        case Command::SetPassword:
            state_.password.assign(frame.begin() + 2, frame.begin() + 6);
            return {WriteAnswer()};
        default:
            return {};
    }
}

}  // namespace varnix
