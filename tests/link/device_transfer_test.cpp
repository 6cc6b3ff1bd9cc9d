#include "device_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "transfer_fakes.h"
#include "write_check.h"

namespace varnix {
namespace {

using testing::Bytes;
using testing::FakePort;
using testing::FakeScreen;
using testing::FakeServices;

const Bytes kReadRequest{0xAA, 0x01, 0x00, 0xEE};
const Bytes kAcknowledge{0xAA, 0x10, 0x00, 0xEE};
const Bytes kPasswordRequest{0xAA, 0x12, 0x00, 0xEE};

Bytes StatusReply(std::uint8_t code) {
    return {0xAA, code, 0x00, 0xEE};
}

Bytes ParametersReply(std::uint16_t count, std::uint16_t timeout, std::uint8_t flag) {
    return {0xAA,
            0x22,
            0x09,
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count & 0xFF),
            static_cast<std::uint8_t>(timeout >> 8),
            static_cast<std::uint8_t>(timeout & 0xFF),
            flag,
            0,
            0,
            0,
            0,
            0xEE};
}

Bytes RecordsReply(const std::vector<PhoneRecord>& records) {
    Bytes frame(3 + 16 * records.size() + 1, 0);
    frame[0] = 0xAA;
    frame[1] = 0x23;
    frame[2] = static_cast<std::uint8_t>(records.size() << 4);
    for (std::size_t k = 0; k < records.size(); ++k) {
        PutPhoneRecord(frame.data(), k, records[k].slot, records[k].text);
    }
    frame.back() = 0xEE;
    return frame;
}

std::vector<PhoneRecord> Numbered(int first, int count) {
    std::vector<PhoneRecord> records;
    for (int slot = first; slot < first + count; ++slot) {
        records.push_back({slot, "555" + std::to_string(slot)});
    }
    return records;
}

class DeviceTransferTest : public ::testing::Test {
  protected:
    DeviceTransferTest() { transfer.Reset(); }

    void Receive(const Bytes& burst) {
        transfer.ReceiveBurst(burst.data(), static_cast<std::uint16_t>(burst.size()));
    }
    // Frames sent since the last call.
    std::vector<Bytes> TakeSent() { return std::exchange(port.sent, {}); }
    void FillSlots(int first, int count) {
        for (const auto& r : Numbered(first, count)) {
            screen.phones[r.slot] = r.text;
        }
    }

    FakePort port;
    FakeScreen screen;
    FakeServices services;
    DeviceTransfer transfer{port, screen, services};
};

// Each started transfer ends in exactly one typed report, also where the status line says
// nothing: a read announcing more numbers than there are slots, and a write that the
// device's settings reply cuts short.
TEST_F(DeviceTransferTest, EachTransferEndsInOneTypedReport) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(2, 1000, 0x00));
    Receive(RecordsReply(Numbered(1, 2)));
    Receive(StatusReply(0x24));
    EXPECT_EQ(services.reports,
              (std::vector<std::string>{"read 0 of 2", "read 2 of 2", "done read"}));

    services.reports.clear();
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(501, 1000, 0x00));
    EXPECT_EQ(services.reports,
              (std::vector<std::string>{
                  "read 0 of 0",
                  "failed read " + std::to_string(static_cast<int>(TransferFailure::BadReply))}));

    services.reports.clear();
    FillSlots(1, 3);
    transfer.StartWrite();
    transfer.Tick();
    Receive(ParametersReply(0, 1000, 0x00));
    transfer.Tick();
    EXPECT_EQ(services.reports,
              std::vector<std::string>{"failed write " + std::to_string(static_cast<int>(
                                                             TransferFailure::Interrupted))});
    EXPECT_FALSE(transfer.Running());
}

TEST_F(DeviceTransferTest, ReadOfSevenNumbers) {
    screen.phones[42] = "old";
    transfer.StartRead();
    EXPECT_EQ(screen.phones[42], "");
    EXPECT_EQ(services.status, "Communications...");
    EXPECT_TRUE(services.timerEnabled);
    EXPECT_EQ(port.commName, "COM1");
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.opens, 1);
    EXPECT_TRUE(transfer.PortReady);
    EXPECT_EQ(transfer.TransferMode, TransferState::Read);

    transfer.Tick();
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kReadRequest});
    EXPECT_EQ(services.status, "Communications...");

    Receive(ParametersReply(7, 1000, 0x01));
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    EXPECT_EQ(transfer.RecordsExpected, 7);
    EXPECT_EQ(screen.timeout, "1000");
    EXPECT_TRUE(screen.flag);
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});

    Receive(RecordsReply(Numbered(1, 5)));
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});
    EXPECT_EQ(services.status, "Receiving datas:5");
    Receive(RecordsReply(Numbered(6, 2)));
    EXPECT_EQ(services.status, "Receiving datas:7");
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});
    for (int slot = 1; slot <= 7; ++slot) {
        EXPECT_EQ(screen.phones[slot], "555" + std::to_string(slot));
    }
    EXPECT_EQ(screen.phones[8], "");
    Receive(StatusReply(0x24));
    EXPECT_EQ(services.status, "Receiving completed.");
    EXPECT_EQ(transfer.ReplyFlag, ReplyKind::TransferEnd);
    EXPECT_TRUE(TakeSent().empty());

    // Idle ticks do nothing once every announced record is in; the open port is reused by
    // the next start.
    for (int tick = 1; tick <= 3; ++tick) {
        transfer.Tick();
    }
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Receiving completed.");
    transfer.StartRead();
    EXPECT_EQ(port.opens, 1);
}

TEST_F(DeviceTransferTest, WriteOfSevenNumbers) {
    FillSlots(1, 3);
    FillSlots(100, 4);
    screen.timeout = " 1000 ";
    screen.flag = true;
    transfer.StartWrite();
    EXPECT_EQ(services.status, "Communications...");
    EXPECT_EQ(transfer.TransferMode, TransferState::WriteParameters);

    transfer.Tick();
    const Bytes parameters{0xAA, 0x02, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x01, 0, 0, 0, 0, 0xEE};
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{parameters});
    EXPECT_EQ(services.status, "Write parameters...");
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Write telephone numbers...");
    EXPECT_TRUE(TakeSent().empty());

    transfer.Tick();
    auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].size(), 84u);
    EXPECT_EQ(sent[0][2], 0x50);
    EXPECT_EQ(sent[0][3 + 16 * 3 + 1], 100);  // fourth record: slot 100
    EXPECT_EQ(services.status, "Write data:5");
    Receive(StatusReply(0x20));

    transfer.Tick();
    sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 36u);
    EXPECT_EQ(services.status, "Write data:7");
    EXPECT_EQ(transfer.NextSlot, 501);

    // The last frame is awaited like every other.
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data complete...");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DeviceTransferTest, LastPhoneFrameIsRepeatedAndFailsWhenNeverAccepted) {
    FillSlots(498, 3);
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    transfer.Tick();
    auto first = TakeSent();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(transfer.NextSlot, 501);
    for (int repeat = 1; repeat <= 2; ++repeat) {
        transfer.Tick();
        EXPECT_EQ(TakeSent(), std::vector<Bytes>{first[1]});
        EXPECT_EQ(services.status, "Repeat write datas:3");
    }
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data failed, please try again...");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
}

TEST_F(DeviceTransferTest, EmptyTablesAndEmptyTailsComplete) {
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Write telephone numbers...");
    transfer.Tick();  // scans the whole table, sends nothing
    EXPECT_EQ(TakeSent().size(), 1u);
    EXPECT_EQ(services.status, "Write telephone numbers...");
    // A stray burst here must not turn the finished scan into a repeat.
    Receive({0x01, 0x02});
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data complete...");

    FillSlots(1, 5);
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data:5");
    EXPECT_EQ(transfer.NextSlot, 6);
    Receive(StatusReply(0x20));
    TakeSent();
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(transfer.NextSlot, 501);
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data complete...");
}

TEST_F(DeviceTransferTest, NumberInSlot500AloneGoesOutWithSlotBytes01F4) {
    screen.phones[500] = "+441234567890";
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    TakeSent();
    transfer.Tick();
    const auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].size(), 20u);
    EXPECT_EQ(sent[0][3], 0x01);
    EXPECT_EQ(sent[0][4], 0xF4);
    EXPECT_EQ(std::string(sent[0].begin() + 5, sent[0].begin() + 18), "+441234567890");
    EXPECT_EQ(sent[0][18], 0);
}

// What a file can bring and typing cannot never reaches the device: the whole write is
// refused with the check's message, before the port is opened.
TEST_F(DeviceTransferTest, ValuesTypingCannotProduceAreNotWritten) {
    screen.phones[7] = "two";
    screen.phones[9] = "12345678901234567890";
    transfer.StartWrite();
    EXPECT_EQ(services.messages, std::vector<std::string>{CheckWriteValues(screen).Text()});
    EXPECT_EQ(services.lastFailure.slot, 7);
    EXPECT_EQ(services.lastFailure.problem, StartProblem::PhoneInvalid);
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(port.opens, 0);
}

// The device gives one Latin-1 byte a character; the screen's texts are UTF-8.
TEST_F(DeviceTransferTest, TextsComeBackFromTheDeviceAsUtf8) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(2, 1, 0));
    Bytes records(3 + 16 * 2 + 1, 0);
    records[0] = 0xAA;
    records[1] = 0x23;
    records[2] = 0x20;
    records[4] = 5;
    records[5] = 'c';
    records[6] = 'a';
    records[7] = 'f';
    records[8] = 0xE9;
    records[20] = 6;
    records[21] = '+';
    records[22] = 0xFF;
    records.back() = 0xEE;
    Receive(records);
    EXPECT_EQ(screen.phones[5], "caf\xC3\xA9");
    EXPECT_EQ(screen.phones[6], "+\xC3\xBF");
    Receive({0xAA, 0x12, '1', '2', 0xB2, 0xB3, 0x00, 0xEE});
    EXPECT_EQ(screen.password, "12\xC2\xB2\xC2\xB3");  // 12²³
}

TEST_F(DeviceTransferTest, SilentDeviceEndsEveryTransferWithItsFailure) {
    transfer.StartRead();
    for (int tick = 1; tick <= 3; ++tick) {
        transfer.Tick();
        EXPECT_EQ(TakeSent(), std::vector<Bytes>{kReadRequest});
    }
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Connection failure,Please try again.");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);

    // Write parameters: once, then twice in the second tick, then failure.
    transfer.StartWrite();
    transfer.Tick();
    EXPECT_EQ(TakeSent().size(), 1u);
    transfer.Tick();
    EXPECT_EQ(TakeSent().size(), 2u);
    EXPECT_EQ(services.status, "Write parameters...");
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Write data failed, please try again...");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);

    // Set password: ticks 1 to 3 send, tick 4 fails.
    screen.password = "1234";
    transfer.StartSetPassword();
    const Bytes setFrame{0xAA, 0x13, '1', '2', '3', '4', 0xEE};
    for (int tick = 1; tick <= 3; ++tick) {
        transfer.Tick();
        EXPECT_EQ(TakeSent(), std::vector<Bytes>{setFrame});
        EXPECT_EQ(services.status, "Set Password......");
    }
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Set Password failed!");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);

    // Get password: sent once, no failure text.
    transfer.StartGetPassword();
    transfer.Tick();
    transfer.Tick();
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kPasswordRequest});
    EXPECT_EQ(services.status, "Get Psaaword......");
}

TEST_F(DeviceTransferTest, PasswordTransfers) {
    transfer.StartGetPassword();
    EXPECT_EQ(services.status, "Status bar .....");
    transfer.Tick();
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kPasswordRequest});
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    Receive({0xAA, 0x12, '4', '3', '2', '1', 0x00, 0xEE});
    EXPECT_EQ(screen.password, "4321");
    EXPECT_EQ(services.status, "Password Receiving completed.");
    EXPECT_TRUE(TakeSent().empty());  // no acknowledge

    screen.password = "0815";
    transfer.StartSetPassword();
    transfer.Tick();
    const Bytes setFrame{0xAA, 0x13, '0', '8', '1', '5', 0xEE};
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{setFrame});
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Set Psaaword Suecced!");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
}

TEST_F(DeviceTransferTest, SetPasswordNeedsFourDigits) {
    for (const char* bad : {"", "123", "12a4", "12345"}) {
        screen.password = bad;
        services.messages.clear();
        transfer.StartSetPassword();
        EXPECT_EQ(services.messages,
                  std::vector<std::string>{"Please enter a four-digit password."});
        EXPECT_EQ(port.opens, 0);
        EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    }
    // Edited down after the start: the next tick fails instead of sending garbage.
    screen.password = "1234";
    transfer.StartSetPassword();
    screen.password = "12";
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Set Password failed!");
}

TEST_F(DeviceTransferTest, Status21IsHandledLikeAMissingReply) {
    screen.password = "1111";
    transfer.StartSetPassword();
    transfer.Tick();
    Receive(StatusReply(0x21));
    EXPECT_EQ(transfer.ReplyFlag, ReplyKind::Status21);
    transfer.Tick();
    transfer.Tick();
    EXPECT_EQ(TakeSent().size(), 3u);
    transfer.Tick();
    EXPECT_EQ(services.status, "Set Password failed!");

    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x21));
    transfer.Tick();
    TakeSent();
    Receive(StatusReply(0x21));
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data failed, please try again...");

    // In the phone phase 0x21 and 0x24 lead to repeats and failure, never to a hang.
    FillSlots(1, 1);
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    transfer.Tick();
    const Bytes frame = TakeSent().back();
    Receive(StatusReply(0x21));
    transfer.Tick();
    Receive(StatusReply(0x24));
    transfer.Tick();
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{frame, frame}));
    EXPECT_EQ(services.status, "Repeat write datas:1");
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data failed, please try again...");
}

TEST_F(DeviceTransferTest, ClearedFlagBeforeFirstPhoneFrameDoesNotResendParameters) {
    FillSlots(1, 2);
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    TakeSent();
    Receive({0x12, 0x34});  // noise clears the flag
    transfer.Tick();
    const auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 0x03);
    EXPECT_EQ(services.status, "Write data:2");
}

// The second parameters send goes out with the stored frame: both acceptances arrive before
// the first phone frame, which clears them, so it still waits for an acceptance of its own.
TEST_F(DeviceTransferTest, TwoParameterAcceptancesDoNotAcceptTheFirstPhoneFrame) {
    FillSlots(1, 2);
    transfer.StartWrite();
    transfer.Tick();
    transfer.Tick();
    ASSERT_EQ(TakeSent().size(), 3u);  // the first send, then the stored frame and a new one
    Receive(StatusReply(0x20));
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Write telephone numbers...");
    transfer.Tick();
    EXPECT_EQ(services.status, "Write data:2");
    transfer.Tick();
    EXPECT_EQ(services.status, "Repeat write datas:2");
    EXPECT_EQ(TakeSent().size(), 2u);
}

// The 0x20 answering an earlier exchange must not pass for the acceptance of a transfer
// that has not sent anything yet.
TEST_F(DeviceTransferTest, AcceptanceBeforeTheFirstFrameDoesNotCount) {
    screen.password = "1234";
    transfer.StartSetPassword();
    transfer.Tick();
    transfer.StartWrite();
    Receive(StatusReply(0x20));  // the device accepts the password frame
    TakeSent();
    transfer.Tick();
    const auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 0x02);
    EXPECT_EQ(services.status, "Write parameters...");

    transfer.StartSetPassword();
    Receive(StatusReply(0x20));  // the device accepts the parameters frame
    transfer.Tick();
    EXPECT_EQ(TakeSent().size(), 1u);
    EXPECT_EQ(services.status, "Set Password......");
    Receive(StatusReply(0x20));
    transfer.Tick();
    EXPECT_EQ(services.status, "Set Psaaword Suecced!");
}

TEST_F(DeviceTransferTest, ReadThatStopsEarlyFailsAndEmptiesTheTable) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(12, 1, 0));
    Receive(RecordsReply(Numbered(1, 5)));
    transfer.Tick();
    transfer.Tick();
    Receive(RecordsReply(Numbered(6, 5)));  // a records reply starts the count again
    transfer.Tick();
    transfer.Tick();
    EXPECT_EQ(services.status, "Receiving datas:10");
    EXPECT_EQ(screen.phones[10], "55510");
    transfer.Tick();
    EXPECT_EQ(services.status, "Connection failure,Please try again.");
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        ASSERT_EQ(screen.phones[slot], "") << slot;
    }
    EXPECT_EQ(TakeSent().size(), 4u);  // the read request and three acknowledges, nothing more
}

TEST_F(DeviceTransferTest, NonNumericTimeoutAtTickEndsTheWrite) {
    transfer.StartWrite();
    screen.timeout = "";
    transfer.Tick();
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(services.status, "Write data failed, please try again...");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
}

TEST_F(DeviceTransferTest, ParametersReplyEndsAnyTransfer) {
    FillSlots(1, 9);
    transfer.StartWrite();
    transfer.Tick();
    Receive(StatusReply(0x20));
    transfer.Tick();
    transfer.Tick();
    TakeSent();
    Receive(ParametersReply(3, 238, 0x02));
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    EXPECT_EQ(screen.timeout, "238");
    EXPECT_TRUE(screen.flag);
    EXPECT_EQ(services.status, "Write data:5");
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});

    transfer.StartSetPassword();
    Receive(ParametersReply(0, 5, 0x00));
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    EXPECT_FALSE(screen.flag);
    transfer.Tick();
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});
}

TEST_F(DeviceTransferTest, RecordCountsLimitWhatIsCounted) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(7, 1, 0));
    Receive(RecordsReply(Numbered(1, 5)));
    Receive(RecordsReply(Numbered(6, 5)));
    EXPECT_EQ(services.status, "Receiving datas:7");
    EXPECT_EQ(screen.phones[8], "5558");  // stored, not counted
    EXPECT_EQ(screen.phones[9], "");      // dropped
    EXPECT_EQ(transfer.RecordsExpected, 0);

    // A count of 0, or one above 500, stores each reply's first record only.
    for (std::uint16_t count : {0, 501}) {
        transfer.StartRead();
        transfer.Tick();
        Receive(ParametersReply(count, 1, 0));
        Receive(RecordsReply(Numbered(20, 3)));
        EXPECT_EQ(screen.phones[20], "55520");
        EXPECT_EQ(screen.phones[21], "");
        EXPECT_EQ(services.status, "Receiving datas:0");
    }
    // An empty reply is still acknowledged and shown.
    TakeSent();
    Receive(RecordsReply({}));
    EXPECT_EQ(TakeSent(), std::vector<Bytes>{kAcknowledge});
    EXPECT_EQ(services.status, "Receiving datas:0");
}

TEST_F(DeviceTransferTest, RecordsOutsideTheTableAreDroppedAndNotCounted) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(5, 1, 0));
    Receive(RecordsReply({{0, "header"}, {501, "beyond"}, {65535, "far"}, {3, "33"}}));
    EXPECT_EQ(screen.phones[0], "");
    EXPECT_EQ(screen.phones[3], "33");
    EXPECT_EQ(transfer.RecordsReceived, 1);
    EXPECT_EQ(services.status, "Receiving datas:1");
}

TEST_F(DeviceTransferTest, LateReplyAfterRepeatCountsFromZeroAndIdleRepliesAreHandled) {
    transfer.StartRead();
    transfer.Tick();
    Receive(ParametersReply(10, 1, 0));
    Receive(RecordsReply(Numbered(1, 2)));
    EXPECT_EQ(transfer.RecordsReceived, 2);
    transfer.StartRead();
    transfer.Tick();
    EXPECT_EQ(transfer.RecordsReceived, 0);

    transfer.Reset();
    Receive(RecordsReply(Numbered(50, 1)));
    EXPECT_EQ(screen.phones[50], "55550");
    Receive({0xAA, 0x12, '9', '9', '9', '9', 0xEE});
    EXPECT_EQ(screen.password, "9999");
}

TEST_F(DeviceTransferTest, WriteStartChecksTheTimeoutFirst) {
    screen.timeout = "59999";
    transfer.StartWrite();
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(transfer.TransferMode, TransferState::WriteParameters);

    transfer.Reset();
    port.opens = 0;
    for (auto [text, message] : {std::pair{"60000", "Relay TimeOut more than 59 seconds."},
                                 std::pair{"12x", "Please enter the digital."}}) {
        screen.timeout = text;
        services.messages.clear();
        transfer.StartWrite();
        EXPECT_EQ(services.messages, std::vector<std::string>{message});
        EXPECT_EQ(port.opens, 0);
        EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    }
}

TEST_F(DeviceTransferTest, FailedOpenShowsCanNotOpenAndRetriesNextTime) {
    port.failOpen = true;
    services.portName = "COM7";
    screen.phones[1] = "123";
    transfer.StartRead();
    EXPECT_EQ(services.messages, std::vector<std::string>{"Can not open COM7"});
    ASSERT_TRUE(services.lastFailure.port);
    EXPECT_EQ(services.lastFailure.port->fault, PortOpenFault::Busy);
    EXPECT_EQ(services.lastFailure.reason, "Error opening serial port");
    EXPECT_FALSE(transfer.PortReady);
    EXPECT_FALSE(services.timerEnabled);
    EXPECT_EQ(screen.phones[1], "123");
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);

    transfer.StartGetPassword();
    transfer.StartSetPassword();
    transfer.StartWrite();
    EXPECT_EQ(services.messages.size(), 4u);
    EXPECT_EQ(services.messages.back(), "Can not open COM7");

    services.portName = "";
    transfer.StartRead();
    EXPECT_EQ(services.messages.back(), "Can not open ");

    port.failOpen = false;
    services.portName = "COM2";
    transfer.StartRead();
    EXPECT_TRUE(transfer.PortReady);
    EXPECT_EQ(port.commName, "COM2");
}

TEST_F(DeviceTransferTest, AStartThatFailsAfterTheOpenIsNoPortFailure) {
    services.timerFails = true;
    transfer.StartGetPassword();
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(services.lastFailure.problem, StartProblem::Aborted);
    EXPECT_FALSE(services.lastFailure.port);
    EXPECT_EQ(services.messages, std::vector<std::string>{"no timer left"});
    EXPECT_EQ(transfer.TransferMode, TransferState::Idle);
    EXPECT_FALSE(transfer.Running());
}

TEST_F(DeviceTransferTest, StartReplacesARunningTransfer) {
    FillSlots(1, 1);
    transfer.StartWrite();
    transfer.Tick();
    transfer.StartRead();
    EXPECT_EQ(transfer.TransferMode, TransferState::Read);
    EXPECT_EQ(screen.phones[1], "");
    transfer.Tick();
    EXPECT_EQ(TakeSent().back(), kReadRequest);

    // After the port dialog's OK the next start reopens the port.
    transfer.PortReady = false;
    transfer.StartGetPassword();
    EXPECT_EQ(port.opens, 2);
}

}  // namespace
}  // namespace varnix
