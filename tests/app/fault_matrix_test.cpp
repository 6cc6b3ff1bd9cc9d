// Faults of the device and the line, one test each, through the window's buttons: what
// the user ends with, that the window keeps handling events, that the table holds what it
// should, and that the next transfer works once the fault is gone.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "device_window_fixture.h"

namespace varnix {
namespace {

constexpr int kWaitMs = 20000;

// Measures the longest stretch the event loop went without handling a 20 ms timer.
class LoopWatch {
  public:
    LoopWatch() {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { worst_ = std::max(worst_, clock_.restart()); });
        timer_.start(20);
    }
    qint64 WorstGapMs() const { return worst_; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 worst_ = 0;
};

class FaultMatrixTest : public testing::DeviceWindowFixture {
  protected:
    // Presses the button of `verb` and waits for `status`.
    bool Run(void (MainWindowFixture::*verb)(), const std::string& status) {
        form1->StatusPanel->SetText("");  // so that an earlier, equal status does not count
        (this->*verb)();
        const bool ended = WaitForStatus(status, kWaitMs);
        EXPECT_LT(watch.WorstGapMs(), 1000) << "the window stopped handling events";
        return ended;
    }
    void FillTable(int count) {
        for (int slot = 1; slot <= count; ++slot) {
            form1->StringGrid1->SetCell(1, slot, QString("+%1").arg(slot));
        }
    }
    void ExpectReadWorks() {
        ASSERT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Receiving completed."))
            << form1->StatusText();
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            ASSERT_EQ(Cell(slot), state.phones[static_cast<std::size_t>(slot)]) << slot;
        }
    }

    LoopWatch watch;
};

TEST_F(FaultMatrixTest, SilentDevice) {
    FillGeneratedNumbers(state, 7);
    DeviceBehaviour silent;
    silent.silent = true;
    Device(silent);
    FillTable(3);
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Connection failure,Please try again."));
    EXPECT_EQ(Cell(1), "");  // a failed read leaves the table emptied
    EXPECT_TRUE(Run(&FaultMatrixTest::SetPassword, "Set Password failed!"));
    Device();
    ExpectReadWorks();
}

TEST_F(FaultMatrixTest, RejectedWrites) {
    FillGeneratedNumbers(state, 4);
    DeviceBehaviour reject;
    reject.reject = true;
    Device(reject);
    FillTable(9);
    EXPECT_TRUE(Run(&FaultMatrixTest::WriteToDevice, "Write data failed, please try again..."));
    EXPECT_TRUE(Run(&FaultMatrixTest::SetPassword, "Set Password failed!"));
    EXPECT_EQ(Held().NumberCount(), 4);
    Device();
    EXPECT_TRUE(Run(&FaultMatrixTest::WriteToDevice, "Write data complete..."));
    EXPECT_EQ(Held().NumberCount(), 9);
}

TEST_F(FaultMatrixTest, RepliesSplitInTwoBursts) {
    FillGeneratedNumbers(state, 7);
    DeviceTiming split;
    split.split = true;
    Device({}, split);
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Connection failure,Please try again."));
    EXPECT_TRUE(Run(&FaultMatrixTest::SetPassword, "Set Password failed!"));
    Device();
    ExpectReadWorks();
}

TEST_F(FaultMatrixTest, JunkBurstsBetweenReplies) {
    FillGeneratedNumbers(state, 12);
    DeviceTiming noisy;
    noisy.noiseMs = 2000;
    Device({}, noisy);
    ExpectReadWorks();
    form1->StringGrid1->SetCell(1, 40, "40");
    EXPECT_TRUE(Run(&FaultMatrixTest::WriteToDevice, "Write data complete..."));
    EXPECT_EQ(Held().NumberCount(), 13);
}

TEST_F(FaultMatrixTest, LateReplies) {
    FillGeneratedNumbers(state, 7);
    DeviceTiming late;
    late.lateMs = 300;
    Device({}, late);
    ExpectReadWorks();
    form1->Edit2->setText("1357");
    EXPECT_TRUE(Run(&FaultMatrixTest::SetPassword, "Set Psaaword Suecced!"));
    EXPECT_EQ(Held().password, "1357");
}

TEST_F(FaultMatrixTest, DroppedFrames) {
    FillGeneratedNumbers(state, 7);
    DeviceBehaviour drop;
    drop.dropEvery = 3;
    Device(drop);
    // The second acknowledge is lost: the records stop after the first reply, and the read
    // fails rather than leave a partial table.
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Receiving datas:5"));
    EXPECT_TRUE(WaitForStatus("Connection failure,Please try again.", kWaitMs));
    EXPECT_EQ(Cell(5), "");
    // A lost phone frame is sent again and the write completes.
    Device(drop);
    FillTable(8);
    EXPECT_TRUE(Run(&FaultMatrixTest::WriteToDevice, "Write data complete..."));
    EXPECT_EQ(Held().NumberCount(), 8);
}

TEST_F(FaultMatrixTest, LyingRecordCounts) {
    FillGeneratedNumbers(state, 7);
    DeviceBehaviour fewer;
    fewer.announce = 3;
    Device(fewer);
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Receiving completed."));
    for (int slot : {1, 2, 3, 4, 6}) {
        EXPECT_EQ(Cell(slot), state.phones[static_cast<std::size_t>(slot)]) << slot;
    }
    EXPECT_EQ(Cell(5), "");
    EXPECT_EQ(Cell(7), "");
    DeviceBehaviour more;
    more.announce = 20;
    Device(more);
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Connection failure,Please try again."));
    EXPECT_EQ(Cell(1), "");
    Device();
    ExpectReadWorks();
}

TEST_F(FaultMatrixTest, LineHungUpInTheMiddleOfARead) {
    FillGeneratedNumbers(state, 12);
    DeviceBehaviour hangup;
    hangup.hangupAfter = 3;
    Device(hangup);
    EXPECT_TRUE(Run(&FaultMatrixTest::LoadFromDevice, "Receiving datas:5"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form1->Session().PortReady(); }, 5000));
    EXPECT_TRUE(WaitForStatus("Connection failure,Please try again.", kWaitMs));
    EXPECT_EQ(Cell(1), "");
    Device();
    ExpectReadWorks();
}

TEST_F(FaultMatrixTest, LineHungUpInTheMiddleOfAWrite) {
    DeviceBehaviour hangup;
    hangup.hangupAfter = 3;
    Device(hangup);
    FillTable(12);
    // The status line says what the device now holds, as its state shows it.
    WriteToDevice();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form1->StatusText().starts_with("The line went away: "); }, kWaitMs));
    // The line went with the second phone frame, which the device never accepted.
    EXPECT_EQ(Held().NumberCount(), 5);
    EXPECT_EQ(form1->StatusText(),
              "The line went away: the device holds the new relay settings and 5 of the 12 "
              "numbers (perhaps 5 more); write again to finish.");
    EXPECT_FALSE(form1->Session().PortReady());
    Device();
    EXPECT_TRUE(Run(&FaultMatrixTest::WriteToDevice, "Write data complete..."));
    EXPECT_EQ(Held().NumberCount(), 12);
}

TEST_F(FaultMatrixTest, PortVanishesBetweenTwoTransfers) {
    state.password = "2468";
    Device();
    EXPECT_TRUE(Run(&FaultMatrixTest::GetPassword, "Password Receiving completed."));
    RemoveDevice();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form1->Session().PortReady(); }, 5000));
    GetPassword();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Can not open COM1"});
    state.password = "1122";
    Device();
    EXPECT_TRUE(Run(&FaultMatrixTest::GetPassword, "Password Receiving completed."));
    EXPECT_EQ(form1->Edit2->text(), "1122");
}

TEST_F(FaultMatrixTest, SecondProgramHoldsThePort) {
    FillGeneratedNumbers(state, 7);
    Device();
    {
        TComm other;  // what a second program would hold
        other.SetCommName("COM1");
        other.OpenPort();
        LoadFromDevice();
        EXPECT_EQ(Texts(), std::vector<std::string>{"Can not open COM1"});
        EXPECT_FALSE(form1->Session().PortReady());
    }
    ExpectReadWorks();
}

}  // namespace
}  // namespace varnix
