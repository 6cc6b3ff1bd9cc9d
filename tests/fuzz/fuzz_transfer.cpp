// Feeds arbitrary bursts, in arbitrary modes and interleaved with ticks, starts and
// edits of the on-screen values, to the device transfers, and checks after every step
// that nothing is written outside the phone table (the fake screen throws), every
// counter stays in its range, every frame sent is well formed, every data reply is
// acknowledged and stored, and no transfer takes an acceptance before it has sent a frame.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device_transfer.h"
#include "transfer_fakes.h"
#include "transfer_ops.h"

namespace {

using namespace varnix;
using testing::Bytes;
using testing::FakePort;
using testing::FakeScreen;
using testing::FakeServices;

[[noreturn]] void Violation(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        Violation(what);
    }
}

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return used_ >= size_; }
    std::uint8_t Byte() { return Empty() ? 0 : data_[used_++]; }
    Bytes Take(std::size_t n) {
        n = std::min(n, size_ - used_);
        Bytes bytes(data_ + used_, data_ + used_ + n);
        used_ += n;
        return bytes;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// Checks the frame's shape; true for a frame a tick sends, false for an acknowledge.
bool CheckFrame(const Bytes& frame) {
    Check(frame.size() >= 4 && frame.front() == 0xAA && frame.back() == 0xEE, "frame shape");
    switch (static_cast<Command>(frame[1])) {
        case Command::Acknowledge:
            Check(frame.size() == 4, "acknowledge length");
            return false;
        case Command::ReadRequest:
        case Command::Password:
            Check(frame.size() == 4, "request length");
            return true;
        case Command::WriteParameters:
            Check(frame.size() == 13 && frame[2] == 0x09, "parameters frame");
            return true;
        case Command::WritePhoneRecords: {
            const std::size_t n = frame[2] / 16;
            Check(frame[2] % 16 == 0 && n >= 1 && n <= 5 && frame.size() == 16 * n + 4,
                  "phone records frame");
            return true;
        }
        case Command::SetPassword:
            Check(frame.size() == 7, "set password frame");
            return true;
        default:
            Violation("unknown command sent");
    }
}

void CheckRanges(const DeviceTransfer& t) {
    Check(t.TransferMode >= TransferState::Idle && t.TransferMode <= TransferState::SetPassword,
          "TransferMode");
    Check(t.ReplyFlag == ReplyKind::None || t.ReplyFlag == ReplyKind::Accepted ||
              t.ReplyFlag == ReplyKind::Status21 || t.ReplyFlag == ReplyKind::TransferEnd,
          "ReplyFlag");
    Check(t.TriesLeft >= -1 && t.TriesLeft <= 3, "TriesLeft");
    Check(t.NextSlot >= 0 && t.NextSlot <= kSlotCount + 1, "NextSlot");
    Check(t.RecordsExpected <= kSlotCount, "RecordsExpected");
    Check(t.RecordsSent >= 0 && t.RecordsSent <= kSlotCount, "RecordsSent");
    Check(t.RecordsReceived >= 0, "RecordsReceived");
    Check(t.TxLength >= 0 && t.TxLength <= 84, "TxLength");
}

void CheckBurstEffect(DeviceTransfer& t, FakePort& port, FakeScreen& screen, FakeServices& services,
                      const Bytes& burst) {
    const Reply reply = RecognizeReply(burst.data(), burst.size());
    const TransferState modeBefore = t.TransferMode;
    const int recordsBefore = t.RecordsExpected + t.RecordsReceived;
    const std::int32_t receivedBefore = t.RecordsReceived;
    const std::size_t sentBefore = port.sent.size();
    t.ReceiveBurst(burst.data(), static_cast<std::uint16_t>(burst.size()));
    const Bytes ack{0xAA, 0x10, 0x00, 0xEE};
    const bool acknowledged = port.sent.size() == sentBefore + 1 && port.sent.back() == ack;
    switch (reply.kind) {
        case ReplyKind::Parameters:
            Check(t.TransferMode == TransferState::Idle, "parameters reply ends the transfer");
            Check(screen.timeout == std::to_string(reply.timeoutMs), "time-out stored");
            Check(screen.flag == reply.externalDisconnect, "flag stored");
            Check(acknowledged, "parameters reply acknowledged");
            break;
        case ReplyKind::PhoneRecords:
            Check(t.RecordsExpected + t.RecordsReceived == recordsBefore &&
                      t.RecordsReceived >= receivedBefore,
                  "each record counted moves from expected to received");
            Check(acknowledged, "records reply acknowledged");
            Check(services.status == "Receiving datas:" + std::to_string(t.RecordsReceived),
                  "records status");
            break;
        default:
            Check(port.sent.size() == sentBefore, "only data replies are acknowledged");
            Check(t.TransferMode == modeBefore, "mode changed by a status burst");
            if (reply.kind == ReplyKind::Password) {
                Check(screen.password == reply.password, "password stored");
            }
            if (reply.kind == ReplyKind::TransferEnd) {
                Check(services.status == "Receiving completed.", "end status");
            }
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakePort port;
    FakeScreen screen;
    FakeServices services;
    DeviceTransfer transfer(port, screen, services);
    transfer.Reset();
    // Whether the running transfer has sent a frame of its own since it started.
    bool ownFrameSent = false;
    const auto start = [&](void (DeviceTransfer::*begin)()) {
        const std::size_t shown = services.messages.size();
        (transfer.*begin)();
        if (services.messages.size() == shown) {
            ownFrameSent = false;
        }
    };
    Input input(data, size);
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        const TransferState modeBefore = transfer.TransferMode;
        switch (op % fuzz::kOpCount) {
            case fuzz::kStartRead:
                start(&DeviceTransfer::StartRead);
                break;
            case fuzz::kStartWrite:
                start(&DeviceTransfer::StartWrite);
                break;
            case fuzz::kStartGet:
                start(&DeviceTransfer::StartGetPassword);
                break;
            case fuzz::kStartSet:
                start(&DeviceTransfer::StartSetPassword);
                break;
            case fuzz::kTick:
            case fuzz::kTick + 1:
            case fuzz::kTick + 2: {
                transfer.Tick();
                const bool accepted = (modeBefore == TransferState::WriteParameters &&
                                       transfer.TransferMode == TransferState::WritePhoneRecords) ||
                                      (modeBefore == TransferState::SetPassword &&
                                       services.status == "Set Psaaword Suecced!");
                Check(!accepted || ownFrameSent, "accepted before sending anything");
                break;
            }
            case fuzz::kBurst:
            case fuzz::kBurst + 1: {
                // Mostly short bursts; now and then one beyond the 500-byte work area.
                std::size_t length = input.Byte();
                if (op & fuzz::kVariant) {
                    length = length * 8 + input.Byte() % 8;
                }
                const Bytes burst = input.Take(length);
                if (!burst.empty()) {
                    CheckBurstEffect(transfer, port, screen, services, burst);
                }
                break;
            }
            case fuzz::kSetPhone: {
                const int slot = 1 + (input.Byte() * 2 + input.Byte() % 2) % kSlotCount;
                const Bytes text = input.Take(input.Byte() % 16);
                screen.phones[static_cast<std::size_t>(slot)].assign(text.begin(), text.end());
                break;
            }
            case fuzz::kSetField: {
                const Bytes text = input.Take(input.Byte() % 8);
                (op & fuzz::kVariant ? screen.timeout : screen.password)
                    .assign(text.begin(), text.end());
                break;
            }
            case fuzz::kReopenPort:
                transfer.PortReady = false;
                port.failOpen = (op & fuzz::kVariant) != 0;
                break;
        }
        CheckRanges(transfer);
        for (const Bytes& frame : port.sent) {
            ownFrameSent = CheckFrame(frame) || ownFrameSent;
        }
        port.sent.clear();
    }
    return 0;
}
