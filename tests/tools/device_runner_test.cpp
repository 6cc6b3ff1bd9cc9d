// The device on a pseudo-terminal: replies as bursts, faults, pacing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "device_runner.h"
#include "relay_frames.h"

namespace varnix {
namespace {

using namespace testing;

using Clock = std::chrono::steady_clock;

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

}  // namespace
}  // namespace varnix
