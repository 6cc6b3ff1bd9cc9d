// The four device transfers (read, write, get password, set password) as one state
// machine, driven by the 500 ms tick and by the bursts the port receives.
#pragma once

#include <cstdint>
#include <string>

#include "link_frame.h"
#include "transfer_interfaces.h"

namespace varnix {

// Values of TransferMode.
enum : std::int32_t {
    kModeIdle = 0,
    kModeRead = 1,
    kModeWriteParameters = 2,
    kModeWritePhones = 3,
    kModeGetPassword = 4,
    kModeSetPassword = 5,
};

// Values of ReplyFlag.
enum : std::int32_t {
    kReplyNone = 0,
    kReplyAccepted = 1,
    kReplyStatus21 = 2,
    kReplyTransferEnd = 8,
};

inline constexpr std::int32_t kSendsPerFrame = 3;

class DeviceTransfer {
  public:
    DeviceTransfer(TransferPort& port, TransferScreen& screen, TransferServices& services);

    // Idle state and a port to be opened afresh, as at window creation.
    void Reset();

    void StartRead();         // "Load From Device"
    void StartWrite();        // "Write To Device"
    void StartGetPassword();  // "GET"
    void StartSetPassword();  // "SET"

    void Tick();
    void ReceiveBurst(const std::uint8_t* buffer, std::uint16_t length);

    // Transfer state. Public so that the window and tests can see it as it is.
    std::uint16_t RecordsExpected = 0;
    std::int32_t ReplyFlag = kReplyNone;
    std::int32_t TransferMode = kModeIdle;
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
    void SendTxBuffer();
    void SetStatus(const std::string& text) { services_.SetStatusText(text); }

    void TickRead();
    void TickWriteParameters();
    void TickWritePhones();
    void TickGetPassword();
    void TickSetPassword();
    void FailWrite();

    void StorePhoneRecords(const Reply& reply);
    void SendAcknowledge();

    TransferPort& port_;
    TransferScreen& screen_;
    TransferServices& services_;
    // A phone frame has gone out and its acceptance is still awaited.
    bool phoneFramePending_ = false;
};

}  // namespace varnix
