// The transfers' tick: enabling an enabled timer, or giving it the interval it has, keeps
// the running interval; a disabled timer ticks no more.
#include "tick_timer.h"

#include <gtest/gtest.h>

#include <QTest>

namespace varnix {
namespace {

TEST(TickTimerTest, EnablingTwiceDoesNotRestartTheInterval) {
    int ticks = 0;
    TickTimer timer(500, [](const std::function<void()>& body) { body(); });
    timer.SetOnTick([&] { ++ticks; });
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    QTest::qWait(250);
    timer.SetEnabled(true);
    timer.SetInterval(500);
    // At least 250 ms have passed, so a kept interval has at most 250 ms left.
    EXPECT_LE(timer.RemainingTime(), 250);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
    timer.SetEnabled(false);
    const int stopped = ticks;
    QTest::qWait(600);
    EXPECT_EQ(ticks, stopped);
}

}  // namespace
}  // namespace varnix
