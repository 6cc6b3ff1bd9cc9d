// The line settings of the serial link to the relay device (9600 baud, 8 data bits, no
// parity, one stop bit, no flow control), for every port that talks to it.
#pragma once

#include "comm.h"

namespace varnix {

void ApplyLinkSettings(TComm& comm);

}  // namespace varnix
