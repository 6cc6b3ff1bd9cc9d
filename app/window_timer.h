// A window timer: an interval and an enabled flag. Enabling an enabled timer, or setting
// the interval it already has, leaves the running interval alone (QTimer::start would
// restart it). Each tick runs inside the error guard.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "error_report.h"

namespace varnix {

class WindowTimer : public QObject {
    Q_OBJECT
  public:
    WindowTimer(int intervalMs, ErrorReport& report, QObject* parent = nullptr);

    void SetOnTick(std::function<void()> onTick) { onTick_ = std::move(onTick); }
    void SetEnabled(bool enabled);
    bool Enabled() const { return timer_.isActive(); }
    void SetInterval(int intervalMs);
    int Interval() const { return timer_.interval(); }
    // Milliseconds until the next tick, -1 when disabled.
    int RemainingTime() const { return timer_.remainingTime(); }

  private:
    QTimer timer_;
    ErrorReport& report_;
    std::function<void()> onTick_;
};

}  // namespace varnix
