#include "link_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Reply Recognize(const Bytes& burst) {
    return RecognizeReply(burst.data(), burst.size());
}

Bytes Head(const TxBufferBytes& buffer, std::size_t length) {
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
}

TEST(LinkFrameTest, ShortFrames) {
    std::uint8_t frame[4] = {};
    EXPECT_EQ(BuildShortFrame(frame, Command::ReadRequest), 4u);
    EXPECT_EQ(Bytes(frame, frame + 4), (Bytes{0xAA, 0x01, 0x00, 0xEE}));
    BuildShortFrame(frame, Command::Acknowledge);
    EXPECT_EQ(Bytes(frame, frame + 4), (Bytes{0xAA, 0x10, 0x00, 0xEE}));
    BuildShortFrame(frame, Command::Password);
    EXPECT_EQ(Bytes(frame, frame + 4), (Bytes{0xAA, 0x12, 0x00, 0xEE}));
}

TEST(LinkFrameTest, WriteParametersZeroesBufferAndCarriesTimeoutAndFlag) {
    TxBufferBytes buffer;
    buffer.fill(0x5A);
    ASSERT_EQ(BuildWriteParameters(buffer, 1000, true), 13u);
    EXPECT_EQ(Head(buffer, 13),
              (Bytes{0xAA, 0x02, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x01, 0, 0, 0, 0, 0xEE}));
    EXPECT_EQ(buffer[13], 0);
    EXPECT_EQ(buffer[499], 0);

    // 238 puts 0xEE inside the block; it goes out unchanged.
    BuildWriteParameters(buffer, 238, false);
    EXPECT_EQ(Head(buffer, 13),
              (Bytes{0xAA, 0x02, 0x09, 0x00, 0x00, 0x00, 0xEE, 0x00, 0, 0, 0, 0, 0xEE}));
    BuildWriteParameters(buffer, 59999, false);
    EXPECT_EQ(buffer[5], 0xEA);
    EXPECT_EQ(buffer[6], 0x5F);
}

TEST(LinkFrameTest, PhoneRecordsFrameByteForByte) {
    TxBufferBytes buffer;
    buffer.fill(0x77);
    PhoneFrameBuilder frame(buffer);
    frame.Append(1, "+123");
    frame.Append(300, "5");
    ASSERT_EQ(frame.Finish(), 36u);
    Bytes expected{0xAA, 0x03, 0x20, 0x00, 0x01, 0x2B, 0x31, 0x32, 0x33};
    expected.resize(3 + 16, 0);
    expected.insert(expected.end(), {0x01, 0x2C, 0x35});
    expected.resize(3 + 32, 0);
    expected.push_back(0xEE);
    EXPECT_EQ(Head(buffer, 36), expected);
    EXPECT_EQ(buffer[36], 0);

    // A 14-character text contributes 13 characters; byte 15 of the record stays zero.
    PhoneFrameBuilder longFrame(buffer);
    longFrame.Append(500, "12345678901234");
    ASSERT_EQ(longFrame.Finish(), 20u);
    EXPECT_EQ(buffer[2], 0x10);
    EXPECT_EQ(buffer[3], 0x01);
    EXPECT_EQ(buffer[4], 0xF4);
    EXPECT_EQ(std::string(buffer.begin() + 5, buffer.begin() + 18), "1234567890123");
    EXPECT_EQ(buffer[18], 0);
    EXPECT_EQ(buffer[19], 0xEE);
}

TEST(LinkFrameTest, SetPasswordWritesOnlySevenBytes) {
    TxBufferBytes buffer;
    buffer.fill(0x77);
    ASSERT_EQ(BuildSetPassword(buffer, "7093"), 7u);
    EXPECT_EQ(Head(buffer, 8), (Bytes{0xAA, 0x13, 0x37, 0x30, 0x39, 0x33, 0xEE, 0x77}));
}

TEST(LinkFrameTest, StatusRepliesNeedOnlyCodeAndLastByte) {
    EXPECT_EQ(Recognize({0xAA, 0x20, 0x00, 0xEE}).kind, ReplyKind::Accepted);
    EXPECT_EQ(Recognize({0xAA, 0x21, 0x00, 0xEE}).kind, ReplyKind::Status21);
    EXPECT_EQ(Recognize({0xAA, 0x24, 0x00, 0xEE}).kind, ReplyKind::TransferEnd);
    // Byte 0 is ignored; a three-byte burst still counts.
    EXPECT_EQ(Recognize({0x55, 0x20, 0x00, 0xEE}).kind, ReplyKind::Accepted);
    EXPECT_EQ(Recognize({0x00, 0x20, 0xEE}).kind, ReplyKind::Accepted);
    // The last byte received must be 0xEE.
    EXPECT_EQ(Recognize({0xAA, 0x20, 0x00, 0xEE, 0x00}).kind, ReplyKind::None);
    EXPECT_EQ(Recognize({0xEE}).kind, ReplyKind::None);
    EXPECT_EQ(Recognize({0xAA, 0x20}).kind, ReplyKind::None);
    EXPECT_EQ(Recognize({0x00, 0xEE}).kind, ReplyKind::None);
    // Only the first frame of a burst is read.
    EXPECT_EQ(Recognize({0xAA, 0x20, 0x00, 0xEE, 0xAA, 0x21, 0x00, 0xEE}).kind,
              ReplyKind::Accepted);
    EXPECT_EQ(Recognize({0xAA, 0x99, 0x00, 0xEE}).kind, ReplyKind::None);
    EXPECT_EQ(RecognizeReply(nullptr, 0).kind, ReplyKind::None);
}

TEST(LinkFrameTest, ParametersReplyDecoding) {
    Reply r = Recognize({0xAA, 0x22, 0x09, 0x01, 0xF4, 0xEA, 0x5F, 0x02, 0, 0, 0, 0, 0xEE});
    ASSERT_EQ(r.kind, ReplyKind::Parameters);
    EXPECT_EQ(r.recordCount, 500);
    EXPECT_EQ(r.timeoutMs, 59999);
    EXPECT_TRUE(r.externalDisconnect);

    r = Recognize({0xAA, 0x22, 0x09, 0x01, 0xF5, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0xEE});
    EXPECT_EQ(r.recordCount, 0x1F5);
    EXPECT_EQ(r.timeoutMs, 65535);
    EXPECT_FALSE(r.externalDisconnect);

    // Byte 2 must be 0x09.
    EXPECT_EQ(Recognize({0xAA, 0x22, 0x0A, 0, 7, 0, 1, 0, 0, 0, 0, 0, 0xEE}).kind, ReplyKind::None);
    // A short reply reads as zero-filled.
    r = Recognize({0xAA, 0x22, 0x09, 0x00, 0x07, 0xEE});
    ASSERT_EQ(r.kind, ReplyKind::Parameters);
    EXPECT_EQ(r.recordCount, 7);
    EXPECT_EQ(r.timeoutMs, 0xEE00);
    EXPECT_FALSE(r.externalDisconnect);
}

TEST(LinkFrameTest, PhoneRecordsReplyDecoding) {
    // Low four bits of byte 2 are not used: 0x0F is no record, 0x57 is five.
    EXPECT_TRUE(Recognize({0xAA, 0x23, 0x0F, 0xEE}).records.empty());
    EXPECT_EQ(Recognize({0xAA, 0x23, 0x0F, 0xEE}).kind, ReplyKind::PhoneRecords);

    TxBufferBytes frame{};
    frame[0] = 0xAA;
    frame[1] = 0x23;
    frame[2] = 0x57;
    for (std::size_t k = 0; k < 5; ++k) {
        PutPhoneRecord(frame.data(), k, static_cast<int>(k * 100 + 1), std::to_string(k) + "77");
    }
    frame[3 + 80] = 0xEE;
    Reply r = RecognizeReply(frame.data(), 84);
    ASSERT_EQ(r.records.size(), 5u);
    EXPECT_EQ(r.records[0], (PhoneRecord{1, "077"}));
    EXPECT_EQ(r.records[4], (PhoneRecord{401, "477"}));

    // Records beyond the received bytes read as zero: slot 0, empty text.
    r = Recognize({0xAA, 0x23, 0x20, 0x00, 0x09, '1', '2', 0xEE});
    ASSERT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.records[0], (PhoneRecord{9, "12\xC3\xAE"}));  // the end byte 0xEE, read as "î"
    EXPECT_EQ(r.records[1], (PhoneRecord{0, ""}));
}

TEST(LinkFrameTest, PasswordReplyStopsAtZeroAndBeforeFinalEndByte) {
    Reply r = Recognize({0xAA, 0x12, '1', '2', '3', '4', 0x00, 0xEE});
    ASSERT_EQ(r.kind, ReplyKind::Password);
    EXPECT_EQ(r.password, "1234");
    EXPECT_EQ(Recognize({0xAA, 0x12, '1', '2', '3', '4', 0xEE}).password, "1234");
    EXPECT_EQ(Recognize({0xAA, 0x12, 0xEE}).password, "");
    EXPECT_EQ(Recognize({0xAA, 0x12, '5', 0x00, '6', 0xEE}).password, "5");
}

TEST(LinkFrameTest, OversizedBurstIsExaminedByItsFirst500Bytes) {
    Bytes burst(2048, 0x00);
    burst[1] = 0x23;
    burst[2] = 0x10;
    burst[3] = 0x00;
    burst[4] = 0x05;
    for (std::size_t i = 5; i < burst.size() - 1; ++i) {
        burst[i] = '9';
    }
    burst.back() = 0xEE;
    Reply r = Recognize(burst);
    ASSERT_EQ(r.kind, ReplyKind::PhoneRecords);
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].slot, 5);
    EXPECT_EQ(r.records[0].text.size(), 495u);  // text ends at the work area's end

    burst.back() = 0x00;
    EXPECT_EQ(Recognize(burst).kind, ReplyKind::None);

    Bytes password(600, '7');
    password[1] = 0x12;
    password.back() = 0xEE;
    EXPECT_EQ(Recognize(password).password.size(), 498u);
}

}  // namespace
}  // namespace varnix
