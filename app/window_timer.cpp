#include "window_timer.h"

namespace varnix {

WindowTimer::WindowTimer(int intervalMs, ErrorReport& report, QObject* parent)
    : QObject(parent), report_(report) {
    timer_.setInterval(intervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTick_) {
            report_.Guard(onTick_);
        }
    });
}

void WindowTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_.isActive()) {
        timer_.start();
    } else if (!enabled && timer_.isActive()) {
        timer_.stop();
    }
}

void WindowTimer::SetInterval(int intervalMs) {
    if (intervalMs != timer_.interval()) {
        timer_.setInterval(intervalMs);
    }
}

}  // namespace varnix
