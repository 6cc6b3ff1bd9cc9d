#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device_logic.h"
#include "device_runner.h"
#include "pc_frame_parser.h"
#include "port_link.h"
#include "port_names.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kRead{0xAA, 0x01, 0x00, 0xEE};
const Bytes kAck{0xAA, 0x10, 0x00, 0xEE};
const Bytes kPasswordRequest{0xAA, 0x12, 0x00, 0xEE};
const Bytes kAccepted{0xAA, 0x20, 0x00, 0xEE};
const Bytes kRejected{0xAA, 0x21, 0x00, 0xEE};
const Bytes kEnd{0xAA, 0x24, 0x00, 0xEE};

Bytes WriteParameters(std::int32_t timeout, bool flag) {
    TxBufferBytes buffer;
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(
                                                      BuildWriteParameters(buffer, timeout, flag)));
}

Bytes WriteRecords(const std::vector<PhoneRecord>& records) {
    TxBufferBytes buffer;
    PhoneFrameBuilder frame(buffer);
    for (const auto& r : records) {
        frame.Append(r.slot, r.text);
    }
    const std::size_t length = frame.Finish();
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
}

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

TEST(PcFrameParserTest, FramesSplitOverReadsSeveralPerReadAndJunkSkipped) {
    PcFrameParser parser;
    const Bytes records = WriteRecords({{1, "12"}, {2, "34"}});
    Bytes stream{0x00, 0xAA, 0x99};  // junk, then a start byte with an unknown code
    stream.insert(stream.end(), kRead.begin(), kRead.end());
    stream.insert(stream.end(), records.begin(), records.end());
    stream.insert(stream.end(), kAck.begin(), kAck.end());
    std::vector<Bytes> frames;
    for (std::size_t i = 0; i < stream.size(); i += 5) {  // in pieces of five
        parser.Feed(stream.data() + i, std::min<std::size_t>(5, stream.size() - i));
        while (auto frame = parser.Next()) {
            frames.push_back(*frame);
        }
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{kRead, records, kAck}));
    EXPECT_EQ(parser.Skipped(), 3u);

    // A frame whose end byte is wrong is skipped from its start byte on.
    PcFrameParser strict;
    const Bytes bad{0xAA, 0x01, 0x00, 0x55, 0xAA, 0x10, 0x00, 0xEE};
    strict.Feed(bad.data(), bad.size());
    EXPECT_EQ(strict.Next(), kAck);
    EXPECT_FALSE(strict.Next());
}

TEST(DeviceStateTest, FileRoundTripAndErrors) {
    const auto folder = std::filesystem::temp_directory_path() / "varnix_device_state_test";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "state.txt").string();
    DeviceState state;
    state.phones[1] = "+123";
    state.phones[500] = "9";
    state.timeoutMs = 59999;
    state.externalDisconnect = true;
    state.password = "0000";
    std::string error;
    ASSERT_TRUE(SaveDeviceState(path, state, error)) << error;
    DeviceState loaded;
    ASSERT_TRUE(LoadDeviceState(path, loaded, error)) << error;
    EXPECT_EQ(loaded.phones, state.phones);
    EXPECT_EQ(loaded.timeoutMs, 59999);
    EXPECT_TRUE(loaded.externalDisconnect);
    EXPECT_EQ(loaded.password, "0000");

    std::ofstream(path) << "1=+1\n501=2\n";
    EXPECT_FALSE(LoadDeviceState(path, loaded, error));
    EXPECT_NE(error.find(":2:"), std::string::npos) << error;
    EXPECT_EQ(loaded.phones[1], "+123");  // left as it was
    std::filesystem::remove_all(folder);
}

// The far end of the device's line, as the PC sees it.
class LineClient {
  public:
    explicit LineClient(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(fd_, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd_, TCSANOW, &raw);
    }
    ~LineClient() { close(fd_); }
    void Send(const Bytes& bytes) {
        EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    struct Burst {
        Bytes bytes;
        Clock::time_point first;
        Clock::time_point last;
    };
    // Bursts separated by more than 100 ms of silence, until `quietMs` of silence or
    // `totalMs` in all.
    std::vector<Burst> Collect(int quietMs, bool* hungUp = nullptr, int totalMs = 5000) {
        std::vector<Burst> bursts;
        const auto end = Clock::now() + std::chrono::milliseconds(totalMs);
        while (Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0) {
                return bursts;
            }
            if (p.revents & POLLHUP) {
                if (hungUp != nullptr) {
                    *hungUp = true;
                }
                return bursts;
            }
            std::uint8_t chunk[1024];
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0) {
                if (hungUp != nullptr) {
                    *hungUp = true;
                }
                return bursts;
            }
            const auto now = Clock::now();
            if (bursts.empty() || now - bursts.back().last > std::chrono::milliseconds(100)) {
                bursts.push_back({{}, now, now});
            }
            bursts.back().bytes.insert(bursts.back().bytes.end(), chunk, chunk + n);
            bursts.back().last = now;
        }
        return bursts;
    }

  private:
    int fd_ = -1;
};

long Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

TEST(DeviceRunnerTest, RepliesAreSeparateBurstsAtLeastTheGapApart) {
    DeviceState state;
    FillGeneratedNumbers(state, 12);
    DeviceRunner device(state, {}, {}, nullptr);
    std::string error;
    ASSERT_TRUE(device.Open(error)) << error;
    device.Start();
    LineClient pc(device.Path());
    // The request and two acknowledges in one write: three replies, kept apart.
    Bytes all = kRead;
    all.insert(all.end(), kAck.begin(), kAck.end());
    all.insert(all.end(), kAck.begin(), kAck.end());
    pc.Send(all);
    const auto bursts = pc.Collect(600);
    ASSERT_EQ(bursts.size(), 3u);
    EXPECT_EQ(bursts[0].bytes, BuildParametersReply(12, 0, false));
    EXPECT_EQ(bursts[1].bytes.size(), 84u);
    EXPECT_GE(Ms(bursts[1].first - bursts[0].last), 140);
    EXPECT_GE(Ms(bursts[2].first - bursts[1].last), 140);
}

TEST(DeviceRunnerTest, SplitLateNoiseAndHangup) {
    DeviceState state;
    {
        DeviceTiming split;
        split.split = true;
        DeviceRunner device(state, {}, split, nullptr);
        std::string error;
        ASSERT_TRUE(device.Open(error));
        device.Start();
        LineClient pc(device.Path());
        pc.Send(kPasswordRequest);
        const auto bursts = pc.Collect(500);
        ASSERT_EQ(bursts.size(), 2u);
        EXPECT_EQ(bursts[0].bytes, (Bytes{0xAA, 0x12, '7', '0'}));
        EXPECT_EQ(bursts[1].bytes, (Bytes{'9', '3', 0x00, 0xEE}));
    }
    {
        DeviceTiming late;
        late.lateMs = 300;
        DeviceRunner device(state, {}, late, nullptr);
        std::string error;
        ASSERT_TRUE(device.Open(error));
        device.Start();
        LineClient pc(device.Path());
        const auto sent = Clock::now();
        pc.Send(kPasswordRequest);
        const auto bursts = pc.Collect(800);
        ASSERT_EQ(bursts.size(), 1u);
        EXPECT_GE(Ms(bursts[0].first - sent), 290);
    }
    {
        DeviceTiming noisy;
        noisy.noiseMs = 200;
        DeviceRunner device(state, {}, noisy, nullptr);
        std::string error;
        ASSERT_TRUE(device.Open(error));
        device.Start();
        LineClient pc(device.Path());
        const auto bursts = pc.Collect(300, nullptr, 1000);
        ASSERT_GE(bursts.size(), 2u);
        EXPECT_NE(bursts[0].bytes.back(), 0xEE);  // never a reply
    }
    {
        DeviceBehaviour hangup;
        hangup.hangupAfter = 2;
        DeviceRunner device(state, hangup, {}, nullptr);
        std::string error;
        ASSERT_TRUE(device.Open(error));
        device.Start();
        LineClient pc(device.Path());
        pc.Send(kPasswordRequest);
        pc.Send(kPasswordRequest);
        bool hungUp = false;
        pc.Collect(2000, &hungUp);
        EXPECT_TRUE(hungUp);
    }
}

TEST(DeviceRunnerTest, PacedOutputTakesLineTime) {
    DeviceState state;
    FillGeneratedNumbers(state, 15);
    DeviceBehaviour wide;
    wide.recordsPerReply = 15;
    DeviceTiming paced;
    paced.paceBaud = 9600;
    DeviceRunner device(state, wide, paced, nullptr);
    std::string error;
    ASSERT_TRUE(device.Open(error));
    device.Start();
    LineClient pc(device.Path());
    pc.Send(kRead);
    pc.Collect(300);
    pc.Send(kAck);
    const auto bursts = pc.Collect(400);
    ASSERT_EQ(bursts.size(), 1u);
    ASSERT_EQ(bursts[0].bytes.size(), 244u);
    EXPECT_GE(Ms(bursts[0].last - bursts[0].first), 200);  // 244 bytes at 9600 baud: 254 ms
}

TEST(PortLinkTest, LinksThePortAndPutsBackWhatWasThere) {
    const auto folder = std::filesystem::temp_directory_path() / "varnix_port_link_test";
    std::filesystem::remove_all(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::filesystem::create_directories(PortLinkFolder());
    std::filesystem::create_symlink("/dev/earlier", PortLinkFolder() + "/COM4");
    {
        PortLink link;
        std::string error;
        ASSERT_TRUE(link.Create("COM4", "/dev/pts/99", error)) << error;
        EXPECT_EQ(ResolvePortPath("COM4"), PortLinkFolder() + "/COM4");
        EXPECT_EQ(std::filesystem::read_symlink(PortLinkFolder() + "/COM4"), "/dev/pts/99");
        EXPECT_FALSE(link.Create("../x", "/dev/null", error));
    }
    EXPECT_EQ(std::filesystem::read_symlink(PortLinkFolder() + "/COM4"), "/dev/earlier");
    {
        PortLink link;
        std::string error;
        ASSERT_TRUE(link.Create("COM9", "/dev/pts/98", error));
    }
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(PortLinkFolder() + "/COM9")));
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace varnix
