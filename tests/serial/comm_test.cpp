#include <grp.h>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <linux/serial.h>
#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "comm.h"
#include "comm_event.h"
#include "port_backend_posix.h"
#include "pty_pair.h"
#include "serial_os_posix.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Everything a component raised, in order.
struct Recorder {
    explicit Recorder(TComm& comm) {
        comm.OnReceiveData = [this](TComm*, const std::uint8_t* buffer, std::uint16_t length) {
            chunks.emplace_back(buffer, buffer + length);
            zeroAfter.push_back(buffer[length] == 0);
            log.push_back("data");
        };
        comm.OnReceiveError = [this](TComm*, std::uint32_t mask) {
            log.push_back("error " + std::to_string(mask));
        };
        comm.OnModemStateChange = [this](TComm*, std::uint32_t modem) {
            log.push_back("modem " + std::to_string(modem));
        };
        comm.OnRequestHangup = [this](TComm*) { log.push_back("hangup"); };
        comm.OnSendDataEmpty = [this](TComm*) { ++emptyCount; };
    }
    bool WaitForChunks(std::size_t n, int ms = 5000) {
        return QTest::qWaitFor([&] { return chunks.size() >= n; }, ms);
    }
    std::vector<Bytes> chunks;
    std::vector<bool> zeroAfter;
    std::vector<std::string> log;
    int emptyCount = 0;
};

std::string ThrownBy(TComm& comm) {
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        return error.what();
    }
    return "(no error)";
}

// Why OpenPort refused, as its exception carries it.
PortOpenError CauseOf(TComm& comm) {
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        return error.Cause();
    }
    return {PortOpenFault::Other, "(no error)"};
}

class SerialCommTest : public ::testing::Test {
  protected:
    SerialCommTest() {
        comm.SetCommName(pty.SlavePath());
        comm.SetDtrControl(TDtrControl::DtrHandshake);
        comm.SetRtsControl(TRtsControl::RtsDisable);
        comm.SetOutx_XonXoffFlow(false);
        comm.SetInx_XonXoffFlow(false);
    }
    testing::PtyPair pty;
    TComm comm;
    Recorder events{comm};
};

TEST_F(SerialCommTest, ReceivedBurstsAreCutBySilence) {
    comm.OpenPort();
    Bytes reply(10);
    for (int i = 0; i < 10; ++i) {
        reply[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA0 + i);
    }
    pty.Write(reply);
    ASSERT_TRUE(events.WaitForChunks(1));
    EXPECT_EQ(events.chunks[0], reply);
    EXPECT_TRUE(events.zeroAfter[0]);

    // 3000 bytes without a pause: a full 2048-byte read, then the rest.
    pty.Write(Bytes(3000, 0x55));
    ASSERT_TRUE(events.WaitForChunks(3));
    EXPECT_EQ(events.chunks[1].size(), 2048u);
    EXPECT_EQ(events.chunks[2].size(), 952u);

    // 150 ms apart: two calls; 40 ms apart: one.
    pty.Write({0xAA, 0x20, 0x00, 0xEE});
    QTest::qWait(150);
    pty.Write({0xAA, 0x21, 0x00, 0xEE});
    ASSERT_TRUE(events.WaitForChunks(5));
    EXPECT_EQ(events.chunks[3].size(), 4u);
    EXPECT_EQ(events.chunks[4].size(), 4u);
    pty.Write({0x01, 0x02});
    QTest::qWait(40);
    pty.Write({0x03});
    ASSERT_TRUE(events.WaitForChunks(6));
    QTest::qWait(250);
    ASSERT_EQ(events.chunks.size(), 6u);
    EXPECT_EQ(events.chunks[5], (Bytes{0x01, 0x02, 0x03}));
}

TEST_F(SerialCommTest, IntervalChangeAppliesFromTheNextRead) {
    comm.OpenPort();
    pty.Write({0x00});
    ASSERT_TRUE(events.WaitForChunks(1));
    QTest::qWait(50);                  // the next read is pending with 100 ms
    comm.SetReadIntervalTimeout(300);  // and keeps it
    pty.Write({0x01});
    QTest::qWait(200);
    pty.Write({0x02});
    ASSERT_TRUE(events.WaitForChunks(3));
    pty.Write({0x03});
    QTest::qWait(200);
    pty.Write({0x04});
    ASSERT_TRUE(events.WaitForChunks(4));
    QTest::qWait(400);
    ASSERT_EQ(events.chunks.size(), 4u);
    EXPECT_EQ(events.chunks[3], (Bytes{0x03, 0x04}));
}

TEST_F(SerialCommTest, BlocksReachTheLineInOrderAndEmptyQueueIsAnnounced) {
    comm.OpenPort();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.emptyCount == 1; }, 5000));
    Bytes all;
    for (std::uint8_t i = 0; i < 20; ++i) {
        const Bytes block(7, i);
        ASSERT_TRUE(comm.SendData(block.data(), 7));
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(pty.Read(all.size()), all);
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.emptyCount >= 2; }, 5000));
    const Bytes none;
    EXPECT_FALSE(comm.SendData(all.data(), 0));
}

TEST_F(SerialCommTest, SendDataRefusesWhileClosedAndAcceptsRightAfterOpen) {
    const Bytes frame{0xAA, 0x01, 0x00, 0xEE};
    EXPECT_FALSE(comm.SendData(frame.data(), 4));
    comm.OpenPort();
    EXPECT_TRUE(comm.SendData(frame.data(), 4));
    EXPECT_EQ(pty.Read(4), frame);
    comm.ClosePort();
    EXPECT_FALSE(comm.SendData(frame.data(), 4));
    comm.ClosePort();  // harmless
    comm.OpenPort();   // afresh
    EXPECT_TRUE(comm.SendData(frame.data(), 4));
    EXPECT_EQ(pty.Read(4), frame);
}

TEST_F(SerialCommTest, OpenFailuresRaiseTheirMessages) {
    comm.OpenPort();
    EXPECT_EQ(ThrownBy(comm), "This serial port already opened");
    const Bytes frame{0x42};
    EXPECT_TRUE(comm.SendData(frame.data(), 1));
    EXPECT_EQ(pty.Read(1), frame);

    // A second opener is refused while the first keeps working (root too).
    TComm second;
    second.SetCommName(pty.SlavePath());
    EXPECT_EQ(ThrownBy(second), "Error opening serial port");
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(comm.SendData(frame.data(), 1));
    EXPECT_EQ(pty.Read(1), frame);

    TComm other;
    other.SetCommName("/nonexistent/ttyX");
    EXPECT_EQ(ThrownBy(other), "Error opening serial port");
    other.SetCommName("");
    EXPECT_EQ(ThrownBy(other), "Error opening serial port");
    const auto file = std::filesystem::temp_directory_path() / "varnix_not_a_port";
    std::ofstream(file) << "x";
    other.SetCommName(file.string());
    EXPECT_EQ(ThrownBy(other), "File handle is not a comm handle ");
    std::filesystem::remove(file);
    other.SetCommName("/dev/null");
    EXPECT_EQ(ThrownBy(other), "Cannot setup comm buffer");
    EXPECT_FALSE(other.IsOpen());
}

// The cause comes with the failed open itself, from the system's own answer.
TEST_F(SerialCommTest, AFailedOpenCarriesItsCause) {
    comm.OpenPort();
    TComm other;
    other.SetCommName(pty.SlavePath());
    const PortOpenError busy = CauseOf(other);
    EXPECT_EQ(busy.fault, PortOpenFault::Busy);
    EXPECT_EQ(busy.path, pty.SlavePath());
    EXPECT_FALSE(busy.reason.empty());
    comm.ClosePort();

    other.SetCommName("/nonexistent/ttyX");
    const PortOpenError missing = CauseOf(other);
    EXPECT_EQ(missing.fault, PortOpenFault::Missing);
    EXPECT_EQ(missing.reason, std::strerror(ENOENT));
    other.SetCommName("/dev/null");
    EXPECT_EQ(CauseOf(other).fault, PortOpenFault::Other);

    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens any device; the suite runs again unprivileged";
    }
    // A device this user may not open: the group owning it is the one that would permit it.
    std::filesystem::permissions(pty.SlavePath(), std::filesystem::perms::none);
    struct stat info {};
    ASSERT_EQ(::stat(pty.SlavePath().c_str(), &info), 0);
    const group* owner = ::getgrgid(info.st_gid);
    other.SetCommName(pty.SlavePath());
    const PortOpenError refused = CauseOf(other);
    EXPECT_EQ(refused.fault, PortOpenFault::NotPermitted);
    EXPECT_EQ(refused.reason, std::strerror(EACCES));
    EXPECT_EQ(refused.group, owner != nullptr ? owner->gr_name : "");
}

TEST_F(SerialCommTest, LineSettingsReachTheDriverWhileOpen) {
    comm.OpenPort();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_lflag & ICANON);
    EXPECT_EQ(t.c_cc[VMIN], 0);

    comm.SetBaudRate(19200);
    comm.SetStopBits(TStopBits::_2);
    comm.SetOutx_CtsFlow(true);
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

TEST_F(SerialCommTest, ClosingTheFarEndRequestsAHangup) {
    comm.OpenPort();
    pty.CloseMaster();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::count(events.log.begin(), events.log.end(), "hangup") > 0; }, 5000));
    EXPECT_TRUE(comm.IsOpen());  // the component does not close by itself
    comm.ClosePort();
}

TEST_F(SerialCommTest, ClosingGivesNoHangupAndLateMessagesStillArrive) {
    comm.OpenPort();
    pty.Write({0x01, 0x02});
    ASSERT_TRUE(events.WaitForChunks(1));
    comm.ClosePort();
    QTest::qWait(100);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "hangup"), 0);
}

TEST_F(SerialCommTest, SendDataRefusesOnceTheWriterHasEnded) {
    comm.OpenPort();
    pty.CloseMaster();  // the next write fails and ends the writer
    const Bytes frame{0x42};
    EXPECT_TRUE(QTest::qWaitFor([&] { return !comm.SendData(frame.data(), 1); }, 5000));
    comm.ClosePort();
}

TEST_F(SerialCommTest, IdlePortCostsNoProcessorTime) {
    comm.OpenPort();
    QTest::qWait(100);
    timespec before{}, after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    std::this_thread::sleep_for(1s);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double used = static_cast<double>(after.tv_sec - before.tv_sec) +
                        static_cast<double>(after.tv_nsec - before.tv_nsec) / 1e9;
    EXPECT_LT(used, 0.05) << "threads are spinning";
}

// The real calls, with a few that a test can watch or stand in for.
class ScriptedOs : public SerialOs {
  public:
    int TcSetAttr(int fd, int when, const termios* settings) override {
        ++setAttrCalls;
        lastSet = *settings;
        return SerialOs::TcSetAttr(fd, when, settings);
    }
    // With `emptyReadAfterClose`, a read of the port waits until the port's input is
    // flushed and then finds nothing, as when closing flushes between poll and read.
    ssize_t Read(int fd, void* buffer, size_t count) override {
        if (fd == portFd && emptyReadAfterClose) {
            std::unique_lock lock(mutex);
            readWaiting = true;
            released.wait(lock, [&] { return inputFlushed; });
            return 0;
        }
        return SerialOs::Read(fd, buffer, count);
    }
    int TcFlush(int fd, int queue) override {
        if (fd == portFd && queue == TCIFLUSH) {
            {
                std::lock_guard lock(mutex);
                inputFlushed = true;
            }
            released.notify_all();
        }
        return SerialOs::TcFlush(fd, queue);
    }
    ssize_t Write(int fd, const void* buffer, size_t count) override {
        if (fd == portFd) {
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return !holdWrites; });
        }
        return SerialOs::Write(fd, buffer, count);
    }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        if (request == TIOCGICOUNT) {
            if (countersOutOfMemory) {
                throw std::bad_alloc();
            }
            std::lock_guard lock(mutex);
            *static_cast<serial_icounter_struct*>(argument) = counters;
            return 0;
        }
        if (request == TIOCMIWAIT) {
            pollfd wait{modemTrigger, POLLIN, 0};
            if (::poll(&wait, 1, -1) < 0) {
                return -1;  // EINTR: the component is stopping the watcher
            }
            std::uint64_t n = 0;
            ::read(modemTrigger, &n, sizeof n);
            return 0;
        }
        return SerialOs::Ioctl(fd, request, argument);
    }
    int Open(const char* path, int flags) override {
        portFd = SerialOs::Open(path, flags);
        return portFd;
    }
    void Release() {
        {
            std::lock_guard lock(mutex);
            holdWrites = false;
        }
        released.notify_all();
    }
    // Edits the driver's counters; `modemWait` also ends the watcher's TIOCMIWAIT, as a
    // carrier or ring change would.
    void Change(void (*edit)(serial_icounter_struct&), bool modemWait = true) {
        {
            std::lock_guard lock(mutex);
            edit(counters);
        }
        if (!modemWait) {
            return;
        }
        const std::uint64_t one = 1;
        ::write(modemTrigger, &one, sizeof one);
    }

    std::atomic<int> portFd{-1};
    int setAttrCalls = 0;
    termios lastSet{};
    bool holdWrites = false;
    bool emptyReadAfterClose = false;
    bool readWaiting = false;
    bool inputFlushed = false;
    bool countersOutOfMemory = false;
    std::mutex mutex;
    std::condition_variable released;
    serial_icounter_struct counters{};
    int modemTrigger = eventfd(0, EFD_CLOEXEC);
};

class ScriptedCommTest : public ::testing::Test {
  protected:
    ScriptedCommTest() { comm.SetCommName(pty.SlavePath()); }
    ~ScriptedCommTest() override { comm.ClosePort(); }
    testing::PtyPair pty;
    ScriptedOs os;
    TComm comm{nullptr, [this](CommNotifier& notify) { return MakePosixPortBackend(notify, os); }};
    Recorder events{comm};
};

TEST_F(ScriptedCommTest, ParityAndDataBitsAndUnchangedValues) {
    comm.SetByteSize(TByteSize::_7);
    comm.OpenPort();
    EXPECT_EQ(os.lastSet.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_FALSE(os.lastSet.c_cflag & PARENB);
    const int calls = os.setAttrCalls;

    comm.SetParity(TParity::Even);  // field only
    comm.SetBaudRate(comm.BaudRate());
    comm.SetReadIntervalTimeout(100);
    comm.SetCommName(comm.CommName());
    EXPECT_EQ(os.setAttrCalls, calls);

    comm.SetBaudRate(4800);  // any re-apply carries the parity along
    EXPECT_EQ(os.setAttrCalls, calls + 1);
    EXPECT_TRUE(os.lastSet.c_cflag & PARENB);
    EXPECT_FALSE(os.lastSet.c_cflag & PARODD);
    comm.SetParity(TParity::Mark);
    comm.SetXonChar('0');
    EXPECT_EQ(os.lastSet.c_cflag & (PARENB | PARODD | CMSPAR),
              static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
    EXPECT_EQ(os.lastSet.c_cc[VSTART], '0');
}

TEST_F(ScriptedCommTest, BackToBackBlocksAnnounceTheEmptyQueueOnce) {
    os.holdWrites = true;
    comm.OpenPort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.emptyCount == 1; }, 5000));
    const Bytes a{1, 2, 3}, b{4, 5};
    comm.SendData(a.data(), 3);
    comm.SendData(b.data(), 2);
    os.Release();
    EXPECT_EQ(pty.Read(5), (Bytes{1, 2, 3, 4, 5}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.emptyCount == 2; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(events.emptyCount, 2);
}

TEST_F(ScriptedCommTest, CommEventsDecodeIntoErrorThenModemMessages) {
    comm.OpenPort();
    os.Change([](serial_icounter_struct& c) {
        ++c.dcd;
        ++c.rng;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.log.size() >= 1; }, 5000));
    EXPECT_EQ(events.log[0], "modem 12");

    os.Change([](serial_icounter_struct& c) {
        ++c.frame;
        ++c.parity;
        ++c.dcd;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.log.size() >= 3; }, 5000));
    EXPECT_EQ(events.log[1], "error " + std::to_string(CE_FRAME | CE_RXPARITY));
    EXPECT_EQ(events.log[2], "modem 8");

    // A line error that comes with received data is reported before the data.
    os.Change([](serial_icounter_struct& c) { ++c.overrun; }, false);
    pty.Write({0x07});
    ASSERT_TRUE(events.WaitForChunks(1));
    ASSERT_EQ(events.log.size(), 5u);
    EXPECT_EQ(events.log[3], "error " + std::to_string(CE_OVERRUN));
    EXPECT_EQ(events.log[4], "data");

    // A wake-up that reports nothing watched means the line went away.
    os.Change([](serial_icounter_struct&) {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.log.back() == "hangup"; }, 5000))
        << ::testing::PrintToString(events.log);
}

TEST_F(ScriptedCommTest, AReadEmptiedByClosingIsAStopNotAHangup) {
    os.emptyReadAfterClose = true;
    comm.OpenPort();
    pty.Write({0x01});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard lock(os.mutex);
            return os.readWaiting;
        },
        5000));
    comm.ClosePort();
    QTest::qWait(100);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "hangup"), 0);
}

TEST_F(ScriptedCommTest, AFailedOpenLeavesThePortClosedAndReopenable) {
    os.countersOutOfMemory = true;
    EXPECT_EQ(ThrownBy(comm), "Unable to create event");
    EXPECT_FALSE(comm.IsOpen());
    const Bytes frame{0x42};
    EXPECT_FALSE(comm.SendData(frame.data(), 1));
    comm.ClosePort();

    // Nothing of the failed open stays behind, for an unprivileged user neither.
    TComm again;
    again.SetCommName(pty.SlavePath());
    again.OpenPort();
    EXPECT_TRUE(again.SendData(frame.data(), 1));
    EXPECT_EQ(pty.Read(1), frame);
}

TEST(CommEventDecodingTest, MaskToMessages) {
    auto kinds = [](const CommEvent& e) {
        std::vector<std::pair<CommMessage::Kind, std::uint32_t>> out;
        for (const auto& m : DecodeCommEvent(e)) {
            out.emplace_back(m.kind, m.value);
        }
        return out;
    };
    using K = CommMessage::Kind;
    EXPECT_EQ(kinds({EV_RLSD | EV_RING, 0}), (decltype(kinds({})){{K::Modem, 12}}));
    EXPECT_EQ(kinds({EV_RING, 0}), (decltype(kinds({})){{K::Modem, 4}}));
    EXPECT_EQ(kinds({EV_ERR | EV_RLSD, CE_BREAK}),
              (decltype(kinds({})){{K::Error, CE_BREAK}, {K::Modem, 8}}));
    EXPECT_EQ(kinds({0, 0}), (decltype(kinds({})){{K::Hangup, 0}}));
}

}  // namespace
}  // namespace varnix
