// A comm event: which watched line events happened, and the line errors with EV_ERR. It
// is decoded into the messages the component posts: the error first, then the modem
// state.
#pragma once

#include <cstdint>
#include <vector>

#include "comm_types.h"

namespace varnix {

struct CommEvent {
    std::uint32_t mask = 0;    // EV_ERR, EV_RLSD, EV_RING
    std::uint32_t errors = 0;  // CE_ flags, with EV_ERR
};

// The messages one comm event gives: an error message for EV_ERR, then a modem message
// for EV_RLSD/EV_RING (8 carrier, 4 ring, 12 both). An event reporting nothing watched
// means the line went away: a hang-up request alone.
std::vector<CommMessage> DecodeCommEvent(const CommEvent& event);

}  // namespace varnix
