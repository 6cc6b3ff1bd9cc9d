#include "comm_event.h"

namespace varnix {

std::vector<CommMessage> DecodeCommEvent(const CommEvent& event) {
    std::vector<CommMessage> messages;
    if (event.mask & EV_ERR) {
        messages.push_back({CommMessage::Kind::Error, event.errors, {}});
    }
    std::uint32_t modem = 0;
    if (event.mask & EV_RLSD) {
        modem |= MODEM_CARRIER;
    }
    if (event.mask & EV_RING) {
        modem |= MODEM_RING;
    }
    if (modem != 0) {
        messages.push_back({CommMessage::Kind::Modem, modem, {}});
    }
    if (messages.empty()) {
        messages.push_back({CommMessage::Kind::Hangup, 0, {}});
    }
    return messages;
}

}  // namespace varnix
