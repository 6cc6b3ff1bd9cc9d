// The survey of the port names and the probe that looks for the relay device on them,
// against virtual relay devices and plain pseudo-terminals linked as COM names.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "config_sandbox.h"
#include "device_runner.h"
#include "port_diagnosis.h"
#include "port_names.h"
#include "port_probe.h"
#include "port_survey.h"
#include "pty_pair.h"

namespace varnix {
namespace {

using Outcome = ProbeResult::Outcome;

// A relay device on a pseudo-terminal of its own, linked as a port name.
class LinkedDevice {
  public:
    LinkedDevice(const std::string& name, const DeviceBehaviour& behaviour)
        : runner_(state_, behaviour, DeviceTiming{}, nullptr) {
        std::string error;
        EXPECT_TRUE(runner_.Open(error)) << error;
        EXPECT_TRUE(LinkPort(name, runner_.Path(), error)) << error;
        runner_.observer = [this](bool out, const FrameBytes&, auto) {
            if (!out) {
                ++framesIn;
            }
        };
        runner_.Start();
    }
    ~LinkedDevice() {
        runner_.Stop();
        runner_.Join();
    }
    const std::string& Path() const { return runner_.Path(); }
    std::atomic<int> framesIn{0};

  private:
    DeviceState state_;
    DeviceRunner runner_;
};

// A line that sends back every byte it gets, as a loop-back plug does.
class EchoLine {
  public:
    explicit EchoLine(const std::string& name) {
        std::string error;
        EXPECT_TRUE(LinkPort(name, pty_.SlavePath(), error)) << error;
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd fd{pty_.Master(), POLLIN, 0};
                std::uint8_t bytes[64];
                if (poll(&fd, 1, 20) > 0) {
                    const ssize_t n = read(pty_.Master(), bytes, sizeof bytes);
                    if (n > 0 && write(pty_.Master(), bytes, static_cast<std::size_t>(n)) != n) {
                        return;
                    }
                }
            }
        });
    }
    ~EchoLine() {
        stop_ = true;
        thread_.join();
    }

  private:
    testing::PtyPair pty_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::vector<ProbeResult> Probe(const std::vector<std::string>& names,
                               std::chrono::milliseconds* took = nullptr) {
    PortProbe probe;
    std::vector<ProbeResult> results;
    bool done = false;
    QObject::connect(&probe, &PortProbe::finished, [&](const std::vector<ProbeResult>& found) {
        results = found;
        done = true;
    });
    const auto start = std::chrono::steady_clock::now();
    probe.Start(names);
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    if (took != nullptr) {
        *took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
    return results;
}

TEST(PortProbeTest, FindsEveryDeviceThatAnswersAndLeavesOtherPortsAlone) {
    testing::ConfigSandbox sandbox;
    LinkedDevice first("COM1", {});
    LinkedDevice second("COM2", {});
    DeviceBehaviour silent;
    silent.silent = true;
    LinkedDevice quiet("COM3", silent);
    // COM4 is held by another program, which must see nothing of the probe.
    testing::PtyPair held;
    const int other = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    std::string error;
    ASSERT_TRUE(LinkPort("COM4", held.SlavePath(), error)) << error;
    ASSERT_TRUE(LinkPort("COM5", "/dev/varnix-no-such-port", error)) << error;
    EchoLine echo("COM6");

    std::chrono::milliseconds took{};
    const auto results = Probe({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}, &took);
    ASSERT_EQ(results.size(), 6u);
    const std::vector<Outcome> expected{Outcome::Answered, Outcome::Answered, Outcome::Silent,
                                        Outcome::Busy,     Outcome::Missing,  Outcome::Silent};
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i].name, "COM" + std::to_string(i + 1));
        EXPECT_EQ(results[i].outcome, expected[i]) << results[i].name << ": " << results[i].reason;
    }
    EXPECT_EQ(results[0].path, first.Path());
    EXPECT_EQ(results[4].path, "/dev/varnix-no-such-port");
    EXPECT_EQ(results[2].reason, "no reply");
    EXPECT_EQ(results[5].reason, "no password reply");  // its own request came back
    // The silent ones are waited for one reply window, no longer.
    EXPECT_GE(took.count(), PortProbe::kReplyWindowMs - 50);
    EXPECT_LT(took.count(), PortProbe::kReplyWindowMs + 1500);
    // One request each, nothing to the held port, and every port closed afterwards.
    EXPECT_EQ(first.framesIn, 1);
    EXPECT_EQ(quiet.framesIn, 1);
    EXPECT_TRUE(held.Read(1, std::chrono::milliseconds(100)).empty());
    close(other);
    QTest::qWait(50);  // the ports' deletion runs from the event loop
    for (const char* name : {"COM1", "COM2", "COM3"}) {
        EXPECT_EQ(DiagnosePort(name), std::nullopt) << name;
    }
}

TEST(PortProbeTest, EndsAsSoonAsEveryPortAskedHasAnsweredOrNoneCouldBeAsked) {
    testing::ConfigSandbox sandbox;
    std::string error;
    ASSERT_TRUE(LinkPort("COM1", "/dev/varnix-no-such-port", error)) << error;
    std::chrono::milliseconds took{};
    auto results = Probe({"COM1"}, &took);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, Outcome::Missing);
    EXPECT_LT(took.count(), 500);

    LinkedDevice device("COM2", {});
    results = Probe({"COM2"}, &took);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, Outcome::Answered);
    EXPECT_LT(took.count(), PortProbe::kReplyWindowMs);
}

TEST(PortSurveyTest, TellsWhatEachNameOpensInTheListAndInTheTooltip) {
    testing::ConfigSandbox sandbox;
    sandbox.WriteHive(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n"
        "\"COM1\"=dword:00000002\n");
    testing::PtyPair free;
    testing::PtyPair held;
    const int other = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    std::string error;
    ASSERT_TRUE(LinkPortName("COM1", free.SlavePath(), error)) << error;
    ASSERT_TRUE(LinkPortName("COM2", held.SlavePath(), error)) << error;
    ASSERT_TRUE(LinkPort("COM3", "/dev/varnix-no-such-port", error)) << error;

    const auto ports = SurveyPorts();
    ASSERT_EQ(ports.size(), 15u);
    EXPECT_EQ(DescribePort(ports[0]), "COM1   " + free.SlavePath() + " (linked): present");
    EXPECT_EQ(DescribePort(ports[1]),
              "COM2   " + held.SlavePath() + " (linked): busy (another program holds it)");
    EXPECT_EQ(DescribePort(ports[2]), "COM3   /dev/varnix-no-such-port (linked): missing, chosen");
    EXPECT_EQ(ports[14].name, "COM15");
    EXPECT_EQ(ports[14].path, "/dev/ttyS14");
    EXPECT_EQ(PortTooltip(ports[0]),
              "COM1 opens " + free.SlavePath() + " (linked)\ndevice present");
    EXPECT_EQ(PortTooltip(ports[1]),
              "COM2 opens " + held.SlavePath() +
                  " (linked)\ndevice present\nbusy (another program holds it)");
    EXPECT_EQ(PortTooltip(ports[2]), "COM3 opens /dev/varnix-no-such-port (linked)\nno device");
    close(other);

    // Only a listed name, only a character device that is there; unlinking restores the
    // default.
    const std::filesystem::path plain = sandbox.Root() / "plain";
    std::ofstream(plain) << "x";
    EXPECT_FALSE(LinkPortName("COM16", free.SlavePath(), error));
    EXPECT_EQ(error, "not a port name: \"COM16\" (COM1 to COM15)");
    EXPECT_FALSE(LinkPortName("COM1", plain.string(), error));
    EXPECT_EQ(error, plain.string() + ": not a character device");
    EXPECT_FALSE(LinkPortName("COM1", "/dev/varnix-no-such-port", error));
    EXPECT_EQ(error, "/dev/varnix-no-such-port: no such device");
    EXPECT_EQ(std::filesystem::read_symlink(PortLinkFolder() + "/COM1"), free.SlavePath());
    ASSERT_TRUE(UnlinkPortName("COM1", error)) << error;
    EXPECT_EQ(ResolvePortPath("COM1"), "/dev/ttyS0");
    EXPECT_TRUE(UnlinkPortName("COM1", error)) << error;
}

}  // namespace
}  // namespace varnix
