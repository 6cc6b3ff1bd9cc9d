#include "tick_timer.h"

namespace varnix {

TickTimer::TickTimer(int intervalMs, EventGuard guard, QObject* parent)
    : QObject(parent), guard_(std::move(guard)) {
    timer_.setInterval(intervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTick_) {
            guard_(onTick_);
        }
    });
}

void TickTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_.isActive()) {
        timer_.start();
    } else if (!enabled && timer_.isActive()) {
        timer_.stop();
    }
}

void TickTimer::SetInterval(int intervalMs) {
    if (intervalMs != timer_.interval()) {
        timer_.setInterval(intervalMs);
    }
}

}  // namespace varnix
