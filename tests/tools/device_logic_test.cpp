// The device's answers to each frame a PC sends, without a line.
#include <gtest/gtest.h>

#include "device_logic.h"
#include "relay_frames.h"

namespace varnix {
namespace {

using namespace testing;

TEST(DeviceLogicTest, ReadOfSevenNumbersInRepliesOfFiveAndTwo) {
    DeviceState state;
    FillGeneratedNumbers(state, 7);
    state.timeoutMs = 1000;
    state.externalDisconnect = true;
    DeviceLogic device(state, {});
    EXPECT_EQ(device.OnFrame(kRead), std::vector<Bytes>{BuildParametersReply(7, 1000, true)});
    auto replies = device.OnFrame(kAck);
    ASSERT_EQ(replies.size(), 1u);
    Reply first = RecognizeReply(replies[0].data(), replies[0].size());
    ASSERT_EQ(first.records.size(), 5u);
    EXPECT_EQ(first.records[0], (PhoneRecord{1, GeneratedNumber(1)}));
    replies = device.OnFrame(kAck);
    Reply second = RecognizeReply(replies[0].data(), replies[0].size());
    ASSERT_EQ(second.records.size(), 2u);
    EXPECT_EQ(second.records[1], (PhoneRecord{7, GeneratedNumber(7)}));
    EXPECT_EQ(device.OnFrame(kAck), std::vector<Bytes>{kEnd});
    EXPECT_TRUE(device.OnFrame(kAck).empty());  // no read running any more
}

TEST(DeviceLogicTest, EmptyDeviceEndsAtOnceAndRecordsPerReplyVary) {
    DeviceState state;
    DeviceLogic empty(state, {});
    EXPECT_EQ(empty.OnFrame(kRead), std::vector<Bytes>{BuildParametersReply(0, 0, false)});
    EXPECT_EQ(empty.OnFrame(kAck), std::vector<Bytes>{kEnd});

    state.phones[3] = "3";
    state.phones[300] = "300";
    state.phones[500] = "500";
    DeviceBehaviour fifteen;
    fifteen.recordsPerReply = 15;
    DeviceLogic wide(state, fifteen);
    wide.OnFrame(kRead);
    auto reply = wide.OnFrame(kAck)[0];
    EXPECT_EQ(RecognizeReply(reply.data(), reply.size()).records.size(), 3u);

    DeviceBehaviour none;
    none.recordsPerReply = 0;
    DeviceLogic stuck(state, none);
    stuck.OnFrame(kRead);
    reply = stuck.OnFrame(kAck)[0];
    EXPECT_EQ(reply, (Bytes{0xAA, 0x23, 0x00, 0xEE}));
}

TEST(DeviceLogicTest, WriteReplacesTheListAndPasswordsGetAndSet) {
    DeviceState state;
    FillGeneratedNumbers(state, 20);
    DeviceLogic device(state, {});
    EXPECT_EQ(device.OnFrame(WriteParameters(238, true)), std::vector<Bytes>{kAccepted});
    EXPECT_EQ(state.NumberCount(), 0);
    EXPECT_EQ(state.timeoutMs, 238);
    EXPECT_TRUE(state.externalDisconnect);
    EXPECT_EQ(device.OnFrame(WriteRecords({{2, "+1"}, {499, "1234567890123"}})),
              std::vector<Bytes>{kAccepted});
    EXPECT_EQ(state.phones[2], "+1");
    EXPECT_EQ(state.phones[499], "1234567890123");
    EXPECT_EQ(state.NumberCount(), 2);

    const Bytes passwordReply{0xAA, 0x12, '7', '0', '9', '3', 0x00, 0xEE};
    EXPECT_EQ(device.OnFrame(kPasswordRequest), std::vector<Bytes>{passwordReply});
    const Bytes setPassword{0xAA, 0x13, '1', '2', '3', '4', 0xEE};
    EXPECT_EQ(device.OnFrame(setPassword), std::vector<Bytes>{kAccepted});
    EXPECT_EQ(state.password, "1234");
}

TEST(DeviceLogicTest, FaultsChangeWhatGoesOut) {
    DeviceState state;
    FillGeneratedNumbers(state, 3);
    DeviceBehaviour silent;
    silent.silent = true;
    DeviceLogic quiet(state, silent);
    EXPECT_TRUE(quiet.OnFrame(kRead).empty());
    EXPECT_TRUE(quiet.OnFrame(WriteParameters(5, false)).empty());
    EXPECT_EQ(state.NumberCount(), 3);

    DeviceBehaviour reject;
    reject.reject = true;
    DeviceLogic refusing(state, reject);
    EXPECT_EQ(refusing.OnFrame(WriteParameters(5, false)), std::vector<Bytes>{kRejected});
    const Bytes setPassword{0xAA, 0x13, '1', '1', '1', '1', 0xEE};
    EXPECT_EQ(refusing.OnFrame(setPassword), std::vector<Bytes>{kRejected});
    EXPECT_EQ(state.NumberCount(), 3);
    EXPECT_EQ(state.password, "7093");
    EXPECT_EQ(refusing.OnFrame(kRead).size(), 1u);  // reads still work

    DeviceBehaviour drop;
    drop.dropEvery = 2;
    DeviceLogic dropping(state, drop);
    EXPECT_EQ(dropping.OnFrame(kPasswordRequest).size(), 1u);
    EXPECT_TRUE(dropping.OnFrame(kPasswordRequest).empty());
    EXPECT_EQ(dropping.OnFrame(kPasswordRequest).size(), 1u);
    EXPECT_TRUE(dropping.OnFrame(kPasswordRequest).empty());

    DeviceBehaviour lying;
    lying.announce = 9;
    DeviceLogic liar(state, lying);
    EXPECT_EQ(liar.OnFrame(kRead), std::vector<Bytes>{BuildParametersReply(9, 0, false)});

    DeviceBehaviour hangup;
    hangup.hangupAfter = 2;
    DeviceLogic closing(state, hangup);
    EXPECT_EQ(closing.OnFrame(kRead).size(), 1u);
    EXPECT_FALSE(closing.HangupDue());
    EXPECT_TRUE(closing.OnFrame(kAck).empty());
    EXPECT_TRUE(closing.HangupDue());
}

}  // namespace
}  // namespace varnix
