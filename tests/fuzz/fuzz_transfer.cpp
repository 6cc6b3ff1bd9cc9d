// Feeds arbitrary bursts, in arbitrary modes and interleaved with ticks, starts and
// edits of the on-screen values, to the device transfers, and checks after every step
// that nothing is written outside the phone table, every counter stays in its range,
// every frame sent is well formed, and every burst has the effect its reply calls for.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "device_transfer.h"
#include "transfer_ops.h"

namespace {

using namespace varnix;
using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Violation(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        Violation(what);
    }
}

struct Port : TransferPort {
    void ClosePort() override {}
    void SetCommName(const std::string&) override {}
    void OpenPort() override {
        if (failNextOpen) {
            failNextOpen = false;
            throw std::runtime_error("Error opening serial port");
        }
    }
    bool SendData(const std::uint8_t* buffer, std::uint16_t length) override {
        sent.emplace_back(buffer, buffer + length);
        return true;
    }
    bool failNextOpen = false;
    std::vector<Bytes> sent;
};

struct Screen : TransferScreen {
    std::string PhoneText(int slot) const override {
        Check(slot >= 1 && slot <= kSlotCount, "phone read outside the table");
        return phones[static_cast<std::size_t>(slot)];
    }
    void SetPhoneText(int slot, const std::string& text) override {
        Check(slot >= 1 && slot <= kSlotCount, "phone written outside the table");
        phones[static_cast<std::size_t>(slot)] = text;
    }
    std::string TimeoutText() const override { return timeout; }
    void SetTimeoutText(const std::string& text) override { timeout = text; }
    bool ExternalDisconnect() const override { return flag; }
    void SetExternalDisconnect(bool on) override { flag = on; }
    std::string PasswordText() const override { return password; }
    void SetPasswordText(const std::string& text) override { password = text; }
    std::string ChosenPortName() const override { return "COM1"; }

    std::array<std::string, kSlotCount + 1> phones;
    std::string timeout = "1";
    bool flag = false;
    std::string password = "7093";
};

struct Services : TransferServices {
    void ShowStartFailure(const std::string&) override {}
    void SetStatusText(const std::string& text) override { status = text; }
    void EnableTimer() override {}
    std::string status;
};

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

void CheckFrame(const Bytes& frame) {
    Check(frame.size() >= 4 && frame.front() == 0xAA && frame.back() == 0xEE, "frame shape");
    switch (frame[1]) {
        case 0x01:
        case 0x10:
        case 0x12:
            Check(frame.size() == 4, "short frame length");
            break;
        case 0x02:
            Check(frame.size() == 13 && frame[2] == 0x09, "parameters frame");
            break;
        case 0x03: {
            const std::size_t n = frame[2] / 16;
            Check(frame[2] % 16 == 0 && n >= 1 && n <= 5 && frame.size() == 16 * n + 4,
                  "phone records frame");
            break;
        }
        case 0x13:
            Check(frame.size() == 7, "set password frame");
            break;
        default:
            Violation("unknown command sent");
    }
}

void CheckRanges(const DeviceTransfer& t) {
    Check(t.TransferMode >= 0 && t.TransferMode <= 5, "TransferMode");
    Check(t.ReplyFlag == 0 || t.ReplyFlag == 1 || t.ReplyFlag == 2 || t.ReplyFlag == 8,
          "ReplyFlag");
    Check(t.TriesLeft >= -1 && t.TriesLeft <= 3, "TriesLeft");
    Check(t.NextSlot >= 0 && t.NextSlot <= kSlotCount + 1, "NextSlot");
    Check(t.RecordsExpected <= kSlotCount, "RecordsExpected");
    Check(t.RecordsSent >= 0 && t.RecordsSent <= kSlotCount, "RecordsSent");
    Check(t.RecordsReceived >= 0, "RecordsReceived");
    Check(t.TxLength >= 0 && t.TxLength <= 84, "TxLength");
}

void CheckBurstEffect(DeviceTransfer& t, Port& port, Screen& screen, Services& services,
                      const Bytes& burst) {
    const Reply reply = RecognizeReply(burst.data(), burst.size());
    const std::int32_t modeBefore = t.TransferMode;
    const std::uint16_t expectedBefore = t.RecordsExpected;
    const std::int32_t receivedBefore = t.RecordsReceived;
    const std::size_t sentBefore = port.sent.size();
    t.ReceiveBurst(burst.data(), static_cast<std::uint16_t>(burst.size()));
    const Bytes ack{0xAA, 0x10, 0x00, 0xEE};
    const bool acknowledged = port.sent.size() == sentBefore + 1 && port.sent.back() == ack;
    switch (reply.kind) {
        case ReplyKind::None:
        case ReplyKind::Accepted:
        case ReplyKind::Status21:
        case ReplyKind::TransferEnd:
        case ReplyKind::Password: {
            const std::int32_t flag = reply.kind == ReplyKind::Accepted      ? 1
                                      : reply.kind == ReplyKind::Status21    ? 2
                                      : reply.kind == ReplyKind::TransferEnd ? 8
                                                                             : 0;
            Check(t.ReplyFlag == flag, "reply flag after a burst");
            Check(port.sent.size() == sentBefore, "only data replies are acknowledged");
            Check(t.TransferMode == modeBefore, "mode changed by a status burst");
            if (reply.kind == ReplyKind::Password) {
                Check(screen.password == reply.password, "password not stored");
            }
            if (reply.kind == ReplyKind::TransferEnd) {
                Check(services.status == "Receiving completed.", "end status");
            }
            break;
        }
        case ReplyKind::Parameters:
            Check(t.TransferMode == 0, "parameters reply ends the transfer");
            Check(t.RecordsExpected == (reply.recordCount > 500 ? 0 : reply.recordCount),
                  "record count stored");
            Check(screen.timeout == std::to_string(reply.timeoutMs), "time-out stored");
            Check(screen.flag == reply.externalDisconnect, "flag stored");
            Check(acknowledged, "parameters reply acknowledged");
            break;
        case ReplyKind::PhoneRecords: {
            std::size_t valid = 0;
            for (const auto& record : reply.records) {
                valid += record.slot >= 1 && record.slot <= kSlotCount ? 1 : 0;
            }
            const auto counted =
                static_cast<std::int32_t>(std::min<std::size_t>(valid, expectedBefore));
            Check(t.RecordsReceived == receivedBefore + counted, "records counted");
            Check(t.RecordsExpected == expectedBefore - counted, "records expected");
            Check(acknowledged, "records reply acknowledged");
            Check(services.status == "Receiving datas:" + std::to_string(t.RecordsReceived),
                  "records status");
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Port port;
    Screen screen;
    Services services;
    DeviceTransfer transfer(port, screen, services);
    transfer.Reset();
    Input input(data, size);
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        switch (op % fuzz::kOpCount) {
            case fuzz::kStartRead:
                transfer.StartRead();
                break;
            case fuzz::kStartWrite:
                transfer.StartWrite();
                break;
            case fuzz::kStartGet:
                transfer.StartGetPassword();
                break;
            case fuzz::kStartSet:
                transfer.StartSetPassword();
                break;
            case fuzz::kTick:
            case fuzz::kTick + 1:
            case fuzz::kTick + 2:
                transfer.Tick();
                break;
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
                port.failNextOpen = (op & fuzz::kVariant) != 0;
                break;
        }
        CheckRanges(transfer);
        for (const Bytes& frame : port.sent) {
            CheckFrame(frame);
        }
        port.sent.clear();
    }
    return 0;
}
