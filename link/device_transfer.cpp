#include "device_transfer.h"

#include <algorithm>

namespace varnix {

namespace {

bool IsFourDigitPassword(const std::string& text) {
    return text.size() == kPasswordLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

DeviceTransfer::DeviceTransfer(TransferPort& port, TransferScreen& screen,
                               TransferServices& services)
    : port_(port), screen_(screen), services_(services) {}

void DeviceTransfer::Reset() {
    TransferMode = kModeIdle;
    TriesLeft = 0;
    RecordsExpected = 0;
    PortReady = false;
}

// --- starts -------------------------------------------------------------------------

template <typename Steps>
void DeviceTransfer::GuardedStart(Steps&& steps) {
    try {
        steps();
    } catch (...) {
        services_.ShowStartFailure("Can not open " + screen_.ChosenPortName());
    }
}

void DeviceTransfer::OpenPortIfNeeded() {
    if (PortReady) {
        return;
    }
    port_.ClosePort();
    port_.SetCommName(screen_.ChosenPortName());
    port_.OpenPort();
    PortReady = true;
}

void DeviceTransfer::StartRead() {
    GuardedStart([this] {
        OpenPortIfNeeded();
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            screen_.SetPhoneText(slot, std::string());
        }
        services_.EnableTimer();
        TransferMode = kModeRead;
        TriesLeft = kSendsPerFrame;
        SetStatus("Communications...");
    });
}

void DeviceTransfer::StartWrite() {
    std::int32_t timeout = 0;
    if (!ParseDecimalInt32(screen_.TimeoutText(), timeout)) {
        services_.ShowStartFailure("Please enter the digital.");
        return;
    }
    if (timeout > kTimeoutMaxMs) {
        services_.ShowStartFailure("Relay TimeOut more than 59 seconds.");
        return;
    }
    GuardedStart([this] {
        RecordsSent = 0;
        OpenPortIfNeeded();
        services_.EnableTimer();
        TransferMode = kModeWriteParameters;
        NextSlot = 1;
        ReplyFlag = kReplyNone;
        TriesLeft = kSendsPerFrame;
        phoneFramePending_ = false;
        SetStatus("Communications...");
    });
}

void DeviceTransfer::StartGetPassword() {
    GuardedStart([this] {
        OpenPortIfNeeded();
        TransferMode = kModeGetPassword;
        services_.EnableTimer();
    });
}

void DeviceTransfer::StartSetPassword() {
    // A frame is only defined for four digits; anything else could lock the device.
    if (!IsFourDigitPassword(screen_.PasswordText())) {
        services_.ShowStartFailure("Please enter a four-digit password.");
        return;
    }
    GuardedStart([this] {
        OpenPortIfNeeded();
        ReplyFlag = kReplyNone;
        TransferMode = kModeSetPassword;
        TriesLeft = kSendsPerFrame;
        services_.EnableTimer();
    });
}

// --- tick ---------------------------------------------------------------------------

void DeviceTransfer::Send(const std::uint8_t* bytes, std::size_t length) {
    port_.SendData(bytes, static_cast<std::uint16_t>(length));
}

void DeviceTransfer::SendTxBuffer() {
    Send(TxBuffer.data(), static_cast<std::size_t>(TxLength));
}

void DeviceTransfer::Tick() {
    switch (TransferMode) {
        case kModeRead:
            TickRead();
            break;
        case kModeWriteParameters:
            TickWriteParameters();
            break;
        case kModeWritePhones:
            TickWritePhones();
            break;
        case kModeGetPassword:
            TickGetPassword();
            break;
        case kModeSetPassword:
            TickSetPassword();
            break;
        default:
            break;
    }
}

void DeviceTransfer::TickRead() {
    if (TriesLeft <= 0) {
        TransferMode = kModeIdle;
        SetStatus("Connection failure,Please try again.");
        return;
    }
    Send(TxBuffer.data(), BuildShortFrame(TxBuffer.data(), Command::ReadRequest));
    --TriesLeft;
    RecordsReceived = 0;
}

void DeviceTransfer::FailWrite() {
    TransferMode = kModeIdle;
    SetStatus("Write data failed, please try again...");
}

void DeviceTransfer::TickWriteParameters() {
    if (ReplyFlag == kReplyAccepted) {
        SetStatus("Write telephone numbers...");
        TriesLeft = kSendsPerFrame;
        TransferMode = kModeWritePhones;
        return;
    }
    if (TriesLeft < kSendsPerFrame) {
        if (TriesLeft == 0) {
            FailWrite();
        } else {
            SendTxBuffer();
            --TriesLeft;
        }
    }
    if (TriesLeft <= 0) {
        return;
    }
    ReplyFlag = kReplyNone;
    std::int32_t timeout = 0;
    if (!ParseDecimalInt32(screen_.TimeoutText(), timeout)) {
        // The field was edited into a non-number after the start: nothing sensible to send.
        FailWrite();
        return;
    }
    TxLength = static_cast<std::int32_t>(
        BuildWriteParameters(TxBuffer, timeout, screen_.ExternalDisconnect()));
    SendTxBuffer();
    --TriesLeft;
    SetStatus("Write parameters...");
}

// Every phone frame, the last one included, is repeated until accepted and fails after
// three sends. Until the first phone frame goes out, TxBuffer still holds the
// (accepted) parameters frame, which must never be sent again as a phone frame.
void DeviceTransfer::TickWritePhones() {
    if (ReplyFlag == kReplyAccepted) {
        phoneFramePending_ = false;
    }
    if (phoneFramePending_) {
        if (TriesLeft == 0) {
            FailWrite();
            return;
        }
        SendTxBuffer();
        --TriesLeft;
        ReplyFlag = kReplyNone;
        SetStatus("Repeat write datas:" + std::to_string(RecordsSent));
        return;
    }
    if (NextSlot > kSlotCount) {
        TransferMode = kModeIdle;
        SetStatus("Write data complete...");
        return;
    }
    PhoneFrameBuilder frame(TxBuffer);
    while (NextSlot <= kSlotCount) {
        const std::string text = screen_.PhoneText(NextSlot);
        if (!text.empty()) {
            frame.Append(NextSlot, text);
            ++RecordsSent;
        }
        ++NextSlot;
        if (frame.Count() == kRecordsPerWrite) {
            break;
        }
    }
    TxLength = static_cast<std::int32_t>(frame.Finish());
    if (frame.Count() == 0) {
        return;
    }
    SendTxBuffer();
    ReplyFlag = kReplyNone;
    TriesLeft = kSendsPerFrame - 1;
    phoneFramePending_ = true;
    SetStatus("Write data:" + std::to_string(RecordsSent));
}

void DeviceTransfer::TickGetPassword() {
    Send(TxBuffer.data(), BuildShortFrame(TxBuffer.data(), Command::Password));
    SetStatus("Get Psaaword......");
    TransferMode = kModeIdle;
}

void DeviceTransfer::TickSetPassword() {
    if (ReplyFlag == kReplyAccepted) {
        TransferMode = kModeIdle;
        SetStatus("Set Psaaword Suecced!");
        return;
    }
    const std::string password = screen_.PasswordText();
    if (TriesLeft <= 0 || !IsFourDigitPassword(password)) {
        TransferMode = kModeIdle;
        SetStatus("Set Password failed!");
    } else {
        Send(TxBuffer.data(), BuildSetPassword(TxBuffer, password));
        SetStatus("Set Password......");
    }
    --TriesLeft;
}

// --- received bursts ----------------------------------------------------------------

void DeviceTransfer::SendAcknowledge() {
    std::uint8_t acknowledge[kShortFrameLength];
    Send(acknowledge, BuildShortFrame(acknowledge, Command::Acknowledge));
}

void DeviceTransfer::StorePhoneRecords(const Reply& reply) {
    for (const PhoneRecord& record : reply.records) {
        // Slot 0 would be the header row and there is no row above 500.
        if (record.slot < 1 || record.slot > kSlotCount) {
            continue;
        }
        screen_.SetPhoneText(record.slot, record.text);
        if (RecordsExpected == 0) {
            break;
        }
        --RecordsExpected;
        ++RecordsReceived;
    }
}

void DeviceTransfer::ReceiveBurst(const std::uint8_t* buffer, std::uint16_t length) {
    ReplyFlag = kReplyNone;
    const Reply reply = RecognizeReply(buffer, length);
    switch (reply.kind) {
        case ReplyKind::Accepted:
            ReplyFlag = kReplyAccepted;
            break;
        case ReplyKind::Status21:
            ReplyFlag = kReplyStatus21;
            break;
        case ReplyKind::TransferEnd:
            ReplyFlag = kReplyTransferEnd;
            SetStatus("Receiving completed.");
            break;
        case ReplyKind::Password:
            screen_.SetPasswordText(reply.password);
            SetStatus("Password Receiving completed.");
            break;
        case ReplyKind::Parameters:
            TransferMode = kModeIdle;
            RecordsExpected = reply.recordCount > kSlotCount ? 0 : reply.recordCount;
            screen_.SetTimeoutText(std::to_string(reply.timeoutMs));
            screen_.SetExternalDisconnect(reply.externalDisconnect);
            SendAcknowledge();
            break;
        case ReplyKind::PhoneRecords:
            StorePhoneRecords(reply);
            SendAcknowledge();
            SetStatus("Receiving datas:" + std::to_string(RecordsReceived));
            break;
        case ReplyKind::None:
            break;
    }
}

}  // namespace varnix
