// The device session without any window, against the virtual relay device on a
// pseudo-terminal: each transfer to its end, each kind of failure, and a cancel.
#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "config_sandbox.h"
#include "device_runner.h"
#include "device_session.h"

namespace varnix {
namespace {

template <typename Change>
DeviceBehaviour Behaviour(Change change) {
    DeviceBehaviour behaviour;
    change(behaviour);
    return behaviour;
}

class DeviceSessionTest : public ::testing::Test {
  protected:
    DeviceSessionTest() {
        QObject::connect(&session, &DeviceSession::progressed,
                         [this](TransferKind, int done, int total) {
                             progress = std::to_string(done) + " of " + std::to_string(total);
                         });
        QObject::connect(&session, &DeviceSession::finished,
                         [this](TransferKind) { ends.push_back("done"); });
        QObject::connect(&session, &DeviceSession::failed,
                         [this](TransferKind, const SessionFailure& failure) {
                             ends.push_back("failed");
                             failures.push_back(failure);
                         });
    }
    ~DeviceSessionTest() override { StopDevice(); }

    // A device that was there goes away first, and the session is given time to learn
    // that its line is gone, so that the hang-up does not end the next transfer.
    void StartDevice(const DeviceBehaviour& behaviour = {}) {
        StopDevice();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !session.Transfer().PortReady; }, 5000));
        device = std::make_unique<DeviceRunner>(state, behaviour, DeviceTiming{}, nullptr);
        std::string error;
        ASSERT_TRUE(device->Open(error)) << error;
        device->Start();
        session.SetPortName(device->Path());
    }
    void StopDevice() {
        if (device) {
            device->Stop();
            device->Join();
            device.reset();
        }
    }
    // Runs one transfer to its end; what it ended with.
    std::string Run(void (DeviceSession::*start)()) {
        ends.clear();
        (session.*start)();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ends.empty(); }, 20000));
        return ends.empty() ? "nothing" : ends.back();
    }
    FailureKind LastFailure() const { return failures.back().kind; }

    testing::ConfigSandbox sandbox;
    ConfigRecord values;
    DeviceSession session{values, [](const std::function<void()>& body) { body(); }};
    DeviceState state;
    std::unique_ptr<DeviceRunner> device;
    std::string progress;
    std::vector<std::string> ends;
    std::vector<SessionFailure> failures;
};

TEST_F(DeviceSessionTest, ReadsWritesAndHandlesThePassword) {
    FillGeneratedNumbers(state, 12);
    state.timeoutMs = 250;
    StartDevice();
    EXPECT_EQ(Run(&DeviceSession::Read), "done");
    EXPECT_EQ(progress, "12 of 12");
    EXPECT_EQ(values.FilledSlots(), 12);
    EXPECT_EQ(values.PhoneText(12), GeneratedNumber(12));
    EXPECT_EQ(values.TimeoutText(), "250");

    values.SetPhoneText(500, "+123");
    values.SetTimeoutText("900");
    EXPECT_EQ(Run(&DeviceSession::Write), "done");
    EXPECT_EQ(progress, "500 of 500");

    EXPECT_EQ(Run(&DeviceSession::GetPassword), "done");
    EXPECT_EQ(values.PasswordText(), kDefaultPassword);
    values.SetPasswordText("4321");
    EXPECT_EQ(Run(&DeviceSession::SetPassword), "done");
    StopDevice();
    EXPECT_EQ(state.phones[500], "+123");
    EXPECT_EQ(state.timeoutMs, 900);
    EXPECT_EQ(state.password, "4321");
    EXPECT_FALSE(session.Busy());
}

TEST_F(DeviceSessionTest, ReadCopyFillsTheCopyAndLeavesTheValues) {
    FillGeneratedNumbers(state, 12);
    state.timeoutMs = 250;
    state.externalDisconnect = true;
    values.SetPhoneText(3, "+333");
    values.SetPhoneText(400, "+400");
    values.SetTimeoutText("0100");
    std::vector<TransferKind> kinds;
    std::string status;
    QObject::connect(&session, &DeviceSession::finished,
                     [&](TransferKind kind) { kinds.push_back(kind); });
    QObject::connect(&session, &DeviceSession::statusChanged,
                     [&](const std::string& text) { status = text; });
    StartDevice();
    EXPECT_EQ(Run(&DeviceSession::ReadCopy), "done");
    EXPECT_EQ(kinds, std::vector<TransferKind>{TransferKind::Read});
    EXPECT_EQ(progress, "12 of 12");
    EXPECT_EQ(status, "Receiving datas:12");
    const ConfigRecord& copy = session.DeviceCopy();
    EXPECT_EQ(copy.FilledSlots(), 12);
    EXPECT_EQ(copy.PhoneText(3), GeneratedNumber(3));
    EXPECT_EQ(copy.TimeoutText(), "250");
    EXPECT_TRUE(copy.ExternalDisconnect());
    EXPECT_EQ(values.FilledSlots(), 2);
    EXPECT_EQ(values.PhoneText(3), "+333");
    EXPECT_EQ(values.PhoneText(400), "+400");
    EXPECT_EQ(values.TimeoutText(), "0100");
    EXPECT_FALSE(values.ExternalDisconnect());

    // A second copy starts afresh, and a plain read after it fills the values again.
    state.ClearNumbers();
    state.phones[7] = "+7";
    StopDevice();
    StartDevice();
    EXPECT_EQ(Run(&DeviceSession::ReadCopy), "done");
    EXPECT_EQ(session.DeviceCopy().FilledSlots(), 1);
    EXPECT_EQ(Run(&DeviceSession::Read), "done");
    EXPECT_EQ(values.FilledSlots(), 1);
    EXPECT_EQ(values.PhoneText(7), "+7");
    EXPECT_EQ(values.TimeoutText(), "250");
}

TEST_F(DeviceSessionTest, EachFailureHasItsKind) {
    FillGeneratedNumbers(state, 12);
    StartDevice(Behaviour([](auto& b) { b.silent = true; }));
    EXPECT_EQ(Run(&DeviceSession::Read), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::NoReply);
    EXPECT_EQ(Run(&DeviceSession::GetPassword), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::NoReply);

    StartDevice(Behaviour([](auto& b) { b.reject = true; }));
    EXPECT_EQ(Run(&DeviceSession::Write), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::DeviceRefused);

    StartDevice(Behaviour([](auto& b) { b.announce = 20; }));
    EXPECT_EQ(Run(&DeviceSession::Read), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::RecordsStopped);

    // The line goes when the first phone frame arrives.
    values.SetPhoneText(1, "+1");
    StartDevice(Behaviour([](auto& b) { b.hangupAfter = 2; }));
    EXPECT_EQ(Run(&DeviceSession::Write), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::LineLost);

    // Failures at the start: nothing goes to the device.
    values.SetTimeoutText("60000");
    EXPECT_EQ(Run(&DeviceSession::Write), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::InvalidValues);
    EXPECT_TRUE(failures.back().atStart);
    StopDevice();
    session.SetPortName((sandbox.Root() / "no-such-device").string());
    session.Transfer().PortReady = false;
    EXPECT_EQ(Run(&DeviceSession::Read), "failed");
    EXPECT_EQ(LastFailure(), FailureKind::PortMissing);
    EXPECT_EQ(failures.back().text, "Can not open " + failures.back().port);
    EXPECT_FALSE(session.Busy());
}

TEST_F(DeviceSessionTest, CancelEndsTheTransferOnce) {
    StartDevice(Behaviour([](auto& b) { b.silent = true; }));
    session.Write();
    ASSERT_TRUE(session.Busy());
    QTest::qWait(600);
    session.Cancel();
    ASSERT_EQ(ends, std::vector<std::string>{"failed"});
    EXPECT_EQ(LastFailure(), FailureKind::Cancelled);
    // The cancelled write would have failed on its own by now: it reports nothing more.
    QTest::qWait(2000);
    EXPECT_EQ(ends.size(), 1u);
    EXPECT_EQ(session.Transfer().TransferMode, TransferState::Idle);
}

}  // namespace
}  // namespace varnix
