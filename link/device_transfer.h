// The four device transfers (read, write, get password, set password) as one state
// machine, driven by the 500 ms tick and by the bursts the port receives. Each started
// transfer ends in exactly one TransferDone or TransferFailed, unless a new start or
// Cancel replaces it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link_frame.h"
#include "transfer_interfaces.h"

namespace varnix {

// Values of TransferMode: which transfer the tick drives.
enum class TransferState : std::int32_t {
    Idle = 0,
    Read = 1,
    WriteParameters = 2,
    WritePhoneRecords = 3,
    GetPassword = 4,
    SetPassword = 5,
};

inline constexpr std::int32_t kSendsPerFrame = 3;

// How far a write has come, as far as the device accepted it.
struct WriteStanding {
    bool settingsSent = false;      // the relay settings frame went out
    bool settingsAccepted = false;  // and the device accepted it
    int numbersAccepted = 0;        // numbers in phone frames the device accepted
    int numbersPending = 0;         // numbers in a frame that went out, not yet accepted
    int numbersTotal = 0;           // numbers the write sends in all
};

class DeviceTransfer {
  public:
    DeviceTransfer(TransferPort& port, ConfigValues& values, TransferServices& services);

    // Idle state and a port to be opened afresh, as at window creation.
    void Reset();

    void StartRead();         // "Load From Device"
    void StartWrite();        // "Write To Device"
    void StartGetPassword();  // "GET"
    void StartSetPassword();  // "SET"

    // Ends the running transfer where it is, with no report; what was queued still goes out.
    void Cancel();
    // The transfer that has started and not yet ended.
    std::optional<TransferKind> Running() const { return running_; }
    // Where the running write stands; all nothing when no write runs.
    WriteStanding Standing() const;

    void Tick();
    void ReceiveBurst(const std::uint8_t* buffer, std::uint16_t length);

    // Transfer state. Public so that the window and tests can see it as it is.
    std::uint16_t RecordsExpected = 0;
    // The status reply the last burst was (Accepted, Status21, TransferEnd), else None.
    ReplyKind ReplyFlag = ReplyKind::None;
    TransferState TransferMode = TransferState::Idle;
    std::int32_t TriesLeft = 0;
    std::int32_t TxLength = 0;
    TxBufferBytes TxBuffer{};
    std::int32_t RecordsReceived = 0;
    std::int32_t RecordsSent = 0;
    std::int32_t NextSlot = 0;
    bool PortReady = false;

  private:
    // Runs the steps of a start under one guard; a failure shows "Can not open ".
    template <typename Steps>
    void GuardedStart(Steps&& steps);
    void OpenPortIfNeeded();
    void Send(const std::uint8_t* bytes, std::size_t length);
    // Sends a frame of this transfer: only a reply that arrives after it can accept it.
    void SendFrame(const std::uint8_t* bytes, std::size_t length);
    void SendTxBuffer();
    void EmptyPhoneTable();
    void SetStatus(const std::string& text) { services_.SetStatusText(text); }
    void Begin(TransferKind kind);
    void Done();
    void Fail(TransferFailure failure);
    // A frame went unaccepted to the end: refused when the device answered 0x21 to it.
    void FailUnaccepted();

    void TickRead();
    void TickWriteParameters();
    void TickWritePhones();
    void TickGetPassword();
    void TickSetPassword();
    void TickAwaitingRecords();
    void TickAwaitingPassword();
    void FailWrite();
    // The acceptance awaited by the tick: a 0x20 that came after this transfer's last frame.
    bool Accepted() const { return frameSent_ && ReplyFlag == ReplyKind::Accepted; }

    void ReceiveParameters(const Reply& reply);
    void StorePhoneRecords(const Reply& reply);
    void SendAcknowledge();

    TransferPort& port_;
    ConfigValues& values_;
    TransferServices& services_;
    std::optional<TransferKind> running_;
    // The device answered 0x21 since the running transfer's last acceptance.
    bool refusedSinceAccepted_ = false;
    // The records the parameters reply of a read announced.
    int recordsAnnounced_ = 0;
    // Ticks since the password request went out, while its reply is awaited.
    int ticksAwaitingPassword_ = -1;
    // A phone frame has gone out and its acceptance is still awaited.
    bool phoneFramePending_ = false;
    // The numbers in that frame.
    int pendingRecords_ = 0;
    // The running transfer has sent a frame since its start. An earlier 0x20 answered
    // whatever was on the line before, never this transfer.
    bool frameSent_ = false;
    // A read whose parameters reply announced records that have not all arrived, and the
    // ticks since the last phone records reply.
    bool awaitingRecords_ = false;
    int ticksWithoutRecords_ = 0;
};

}  // namespace varnix
