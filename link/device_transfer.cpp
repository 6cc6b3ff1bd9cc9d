#include "device_transfer.h"

#include <algorithm>
#include <exception>

#include "write_check.h"

namespace varnix {

namespace {

// A read that has had its parameters reply fails after this many ticks without records.
constexpr int kTicksWithoutRecords = 3;

bool IsFourDigitPassword(const std::string& text) {
    return text.size() == kPasswordLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

DeviceTransfer::DeviceTransfer(TransferPort& port, ConfigValues& values, TransferServices& services)
    : port_(port), values_(values), services_(services) {}

void DeviceTransfer::Reset() {
    TransferMode = TransferState::Idle;
    TriesLeft = 0;
    RecordsExpected = 0;
    PortReady = false;
    awaitingRecords_ = false;
    running_.reset();
    ticksAwaitingPassword_ = -1;
}

void DeviceTransfer::Cancel() {
    TransferMode = TransferState::Idle;
    awaitingRecords_ = false;
    running_.reset();
    ticksAwaitingPassword_ = -1;
}

void DeviceTransfer::Begin(TransferKind kind) {
    running_ = kind;
    refusedSinceAccepted_ = false;
    ticksAwaitingPassword_ = -1;
}

void DeviceTransfer::Done() {
    if (const auto kind = running_) {
        running_.reset();
        services_.TransferDone(*kind);
    }
}

void DeviceTransfer::Fail(TransferFailure failure) {
    if (const auto kind = running_) {
        running_.reset();
        services_.TransferFailed(*kind, failure);
    }
}

void DeviceTransfer::FailUnaccepted() {
    Fail(refusedSinceAccepted_ ? TransferFailure::DeviceRefused : TransferFailure::NoReply);
}

// --- starts -------------------------------------------------------------------------

// A port that does not open is a start failure of its own, with its cause; anything else
// that fails on the way is no port failure and is reported as what it is.
template <typename Steps>
void DeviceTransfer::GuardedStart(Steps&& steps) {
    try {
        steps();
    } catch (const PortOpenFailure& failure) {
        services_.StartFailed({StartProblem::PortNotOpened, "Can not open " + services_.PortName(),
                               failure.what(), 0, failure.Cause()});
    } catch (const std::exception& error) {
        Cancel();  // nothing half-started runs on at the next tick
        services_.StartFailed({StartProblem::Aborted, error.what(), error.what()});
    }
}

void DeviceTransfer::OpenPortIfNeeded() {
    if (PortReady) {
        return;
    }
    port_.ClosePort();
    port_.SetCommName(services_.PortName());
    port_.OpenPort();
    PortReady = true;
}

void DeviceTransfer::EmptyPhoneTable() {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        values_.SetPhoneText(slot, std::string());
    }
}

void DeviceTransfer::StartRead() {
    GuardedStart([this] {
        OpenPortIfNeeded();
        EmptyPhoneTable();
        services_.EnableTimer();
        awaitingRecords_ = false;
        TransferMode = TransferState::Read;
        TriesLeft = kSendsPerFrame;
        Begin(TransferKind::Read);
        SetStatus("Communications...");
    });
}

void DeviceTransfer::StartWrite() {
    const WriteCheck check = CheckWriteValues(values_);
    if (!check.Passed()) {
        const StartProblem problem = check.timeout.value_or(StartProblem::PhoneInvalid);
        const int slot = check.badSlots.empty() ? 0 : check.badSlots.front().slot;
        services_.StartFailed({problem, check.Text(), {}, slot});
        return;
    }
    GuardedStart([this] {
        RecordsSent = 0;
        OpenPortIfNeeded();
        services_.EnableTimer();
        TransferMode = TransferState::WriteParameters;
        NextSlot = 1;
        ReplyFlag = ReplyKind::None;
        TriesLeft = kSendsPerFrame;
        phoneFramePending_ = false;
        frameSent_ = false;
        awaitingRecords_ = false;
        Begin(TransferKind::Write);
        SetStatus("Communications...");
    });
}

void DeviceTransfer::StartGetPassword() {
    GuardedStart([this] {
        OpenPortIfNeeded();
        TransferMode = TransferState::GetPassword;
        awaitingRecords_ = false;
        Begin(TransferKind::GetPassword);
        services_.EnableTimer();
    });
}

void DeviceTransfer::StartSetPassword() {
    // A frame is only defined for four digits; anything else could lock the device.
    if (!IsFourDigitPassword(values_.PasswordText())) {
        services_.StartFailed(
            {StartProblem::PasswordInvalid, "Please enter a four-digit password.", {}});
        return;
    }
    GuardedStart([this] {
        OpenPortIfNeeded();
        ReplyFlag = ReplyKind::None;
        TransferMode = TransferState::SetPassword;
        TriesLeft = kSendsPerFrame;
        frameSent_ = false;
        awaitingRecords_ = false;
        Begin(TransferKind::SetPassword);
        services_.EnableTimer();
    });
}

// --- tick ---------------------------------------------------------------------------

void DeviceTransfer::Send(const std::uint8_t* bytes, std::size_t length) {
    port_.SendData(bytes, static_cast<std::uint16_t>(length));
}

void DeviceTransfer::SendFrame(const std::uint8_t* bytes, std::size_t length) {
    Send(bytes, length);
    ReplyFlag = ReplyKind::None;
    frameSent_ = true;
}

void DeviceTransfer::SendTxBuffer() {
    SendFrame(TxBuffer.data(), static_cast<std::size_t>(TxLength));
}

void DeviceTransfer::Tick() {
    switch (TransferMode) {
        case TransferState::Idle:
            TickAwaitingRecords();
            TickAwaitingPassword();
            break;
        case TransferState::Read:
            TickRead();
            break;
        case TransferState::WriteParameters:
            TickWriteParameters();
            break;
        case TransferState::WritePhoneRecords:
            TickWritePhones();
            break;
        case TransferState::GetPassword:
            TickGetPassword();
            break;
        case TransferState::SetPassword:
            TickSetPassword();
            break;
    }
}

// The parameters reply ends the read's own mode; the records it announced then come
// unasked. A device that stops sending them ends the read as a silent one does, so that
// a partial table is never taken for the device's.
void DeviceTransfer::TickAwaitingRecords() {
    if (!awaitingRecords_) {
        return;
    }
    if (RecordsExpected == 0) {
        awaitingRecords_ = false;
        return;
    }
    if (++ticksWithoutRecords_ < kTicksWithoutRecords) {
        return;
    }
    awaitingRecords_ = false;
    EmptyPhoneTable();
    SetStatus("Connection failure,Please try again.");
    Fail(TransferFailure::RecordsStopped);
}

// A password request is sent once; its reply ends the transfer. One that has not come
// after as many ticks as a read waits for its records fails the transfer, and the status
// line keeps what it shows.
void DeviceTransfer::TickAwaitingPassword() {
    if (ticksAwaitingPassword_ < 0 || running_ != TransferKind::GetPassword) {
        return;
    }
    if (++ticksAwaitingPassword_ >= kTicksWithoutRecords) {
        ticksAwaitingPassword_ = -1;
        Fail(TransferFailure::NoReply);
    }
}

void DeviceTransfer::TickRead() {
    if (TriesLeft <= 0) {
        TransferMode = TransferState::Idle;
        SetStatus("Connection failure,Please try again.");
        Fail(TransferFailure::NoReply);
        return;
    }
    SendFrame(TxBuffer.data(), BuildShortFrame(TxBuffer.data(), Command::ReadRequest));
    --TriesLeft;
    RecordsReceived = 0;
}

void DeviceTransfer::FailWrite() {
    TransferMode = TransferState::Idle;
    SetStatus("Write data failed, please try again...");
    FailUnaccepted();
}

void DeviceTransfer::TickWriteParameters() {
    if (Accepted()) {
        refusedSinceAccepted_ = false;
        SetStatus("Write telephone numbers...");
        TriesLeft = kSendsPerFrame;
        TransferMode = TransferState::WritePhoneRecords;
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
    const auto timeout = DeviceTimeout(values_.TimeoutText());
    if (!timeout) {
        // The field was edited after the start into what cannot be sent.
        FailWrite();
        return;
    }
    TxLength = static_cast<std::int32_t>(
        BuildWriteParameters(TxBuffer, *timeout, values_.ExternalDisconnect()));
    SendTxBuffer();
    --TriesLeft;
    SetStatus("Write parameters...");
}

// Every phone frame, the last one included, is repeated until accepted and fails after
// three sends. Until the first phone frame goes out, TxBuffer still holds the
// (accepted) parameters frame, which must never be sent again as a phone frame.
void DeviceTransfer::TickWritePhones() {
    if (Accepted() && phoneFramePending_) {
        phoneFramePending_ = false;
        refusedSinceAccepted_ = false;
        services_.TransferProgress(TransferKind::Write, NextSlot - 1, kSlotCount);
    }
    if (phoneFramePending_) {
        if (TriesLeft == 0) {
            FailWrite();
            return;
        }
        SendTxBuffer();
        --TriesLeft;
        SetStatus("Repeat write datas:" + std::to_string(RecordsSent));
        return;
    }
    if (NextSlot > kSlotCount) {
        TransferMode = TransferState::Idle;
        SetStatus("Write data complete...");
        services_.TransferProgress(TransferKind::Write, kSlotCount, kSlotCount);
        Done();
        return;
    }
    PhoneFrameBuilder frame(TxBuffer);
    while (NextSlot <= kSlotCount) {
        const std::string text = values_.PhoneText(NextSlot);
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
    pendingRecords_ = static_cast<int>(frame.Count());
    SendTxBuffer();
    TriesLeft = kSendsPerFrame - 1;
    phoneFramePending_ = true;
    SetStatus("Write data:" + std::to_string(RecordsSent));
}

WriteStanding DeviceTransfer::Standing() const {
    WriteStanding standing;
    if (running_ != TransferKind::Write) {
        return standing;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        standing.numbersTotal += values_.PhoneText(slot).empty() ? 0 : 1;
    }
    if (TransferMode == TransferState::WriteParameters) {
        standing.settingsSent = frameSent_;
        return standing;
    }
    standing.settingsSent = standing.settingsAccepted = true;
    standing.numbersPending = phoneFramePending_ ? pendingRecords_ : 0;
    standing.numbersAccepted = RecordsSent - standing.numbersPending;
    return standing;
}

void DeviceTransfer::TickGetPassword() {
    SendFrame(TxBuffer.data(), BuildShortFrame(TxBuffer.data(), Command::Password));
    SetStatus("Get Psaaword......");
    TransferMode = TransferState::Idle;
    ticksAwaitingPassword_ = 0;
}

void DeviceTransfer::TickSetPassword() {
    if (Accepted()) {
        TransferMode = TransferState::Idle;
        SetStatus("Set Psaaword Suecced!");
        Done();
        return;
    }
    const std::string password = values_.PasswordText();
    if (TriesLeft <= 0 || !IsFourDigitPassword(password)) {
        TransferMode = TransferState::Idle;
        SetStatus("Set Password failed!");
        FailUnaccepted();
    } else {
        SendFrame(TxBuffer.data(), BuildSetPassword(TxBuffer, password));
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
        values_.SetPhoneText(record.slot, record.text);
        if (RecordsExpected == 0) {
            break;
        }
        --RecordsExpected;
        ++RecordsReceived;
    }
}

// The parameters reply ends any transfer's own mode. A read goes on with the records it
// announced (done at once when there are none); any other transfer it cuts short has
// failed.
void DeviceTransfer::ReceiveParameters(const Reply& reply) {
    const TransferState cut = TransferMode;
    const bool reading = cut == TransferState::Read;
    if (reading) {
        awaitingRecords_ = true;
        ticksWithoutRecords_ = 0;
    }
    TransferMode = TransferState::Idle;
    RecordsExpected = reply.recordCount > kSlotCount ? 0 : reply.recordCount;
    values_.SetTimeoutText(std::to_string(reply.timeoutMs));
    values_.SetExternalDisconnect(reply.externalDisconnect);
    SendAcknowledge();
    if (!reading) {
        if (cut != TransferState::Idle) {
            Fail(TransferFailure::Interrupted);
        }
        return;
    }
    recordsAnnounced_ = RecordsExpected;
    services_.TransferProgress(TransferKind::Read, 0, recordsAnnounced_);
    if (reply.recordCount > kSlotCount) {
        Fail(TransferFailure::BadReply);
    } else if (RecordsExpected == 0) {
        awaitingRecords_ = false;
        Done();
    }
}

void DeviceTransfer::ReceiveBurst(const std::uint8_t* buffer, std::uint16_t length) {
    ReplyFlag = ReplyKind::None;
    const Reply reply = RecognizeReply(buffer, length);
    switch (reply.kind) {
        case ReplyKind::Accepted:
            ReplyFlag = reply.kind;
            break;
        case ReplyKind::Status21:
            ReplyFlag = reply.kind;
            refusedSinceAccepted_ = true;
            break;
        case ReplyKind::TransferEnd:
            ReplyFlag = reply.kind;
            SetStatus("Receiving completed.");
            break;
        case ReplyKind::Password:
            values_.SetPasswordText(reply.password);
            SetStatus("Password Receiving completed.");
            if (running_ == TransferKind::GetPassword && ticksAwaitingPassword_ >= 0) {
                ticksAwaitingPassword_ = -1;
                Done();
            }
            break;
        case ReplyKind::Parameters:
            ReceiveParameters(reply);
            break;
        case ReplyKind::PhoneRecords:
            ticksWithoutRecords_ = 0;
            StorePhoneRecords(reply);
            SendAcknowledge();
            SetStatus("Receiving datas:" + std::to_string(RecordsReceived));
            if (running_ == TransferKind::Read && awaitingRecords_) {
                services_.TransferProgress(TransferKind::Read, RecordsReceived, recordsAnnounced_);
                if (RecordsExpected == 0) {
                    awaitingRecords_ = false;
                    Done();
                }
            }
            break;
        case ReplyKind::None:
            break;
    }
}

}  // namespace varnix
