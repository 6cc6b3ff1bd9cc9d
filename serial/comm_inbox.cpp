#include "comm_inbox.h"

#include "wake_event.h"

namespace varnix {

CommInbox::CommInbox() : wake_(CreateWakeEvent()) {}

CommInbox::~CommInbox() {
    CloseWakeEvent(wake_);
}

void CommInbox::Post(CommMessage message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
    }
    SetWakeEvent(wake_);
}

void CommInbox::ClearWake() {
    ResetWakeEvent(wake_);
}

std::optional<CommMessage> CommInbox::Take() {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) {
        return std::nullopt;
    }
    CommMessage message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

}  // namespace varnix
