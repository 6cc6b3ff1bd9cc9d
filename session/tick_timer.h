// The transfers' tick: an interval and an enabled flag. Enabling an enabled timer, or
// setting the interval it already has, leaves the running interval alone (QTimer::start
// would restart it). Each tick runs inside the guard its owner gives.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace varnix {

// Runs an event body so that no exception reaches Qt's dispatch.
using EventGuard = std::function<void(const std::function<void()>&)>;

class TickTimer : public QObject {
    Q_OBJECT
  public:
    TickTimer(int intervalMs, EventGuard guard, QObject* parent = nullptr);

    void SetOnTick(std::function<void()> onTick) { onTick_ = std::move(onTick); }
    void SetEnabled(bool enabled);
    bool Enabled() const { return timer_.isActive(); }
    void SetInterval(int intervalMs);
    int Interval() const { return timer_.interval(); }
    // Milliseconds until the next tick, -1 when disabled.
    int RemainingTime() const { return timer_.remainingTime(); }

  private:
    QTimer timer_;
    EventGuard guard_;
    std::function<void()> onTick_;
};

}  // namespace varnix
