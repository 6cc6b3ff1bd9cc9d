#include "comm_event_watch_posix.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace varnix {

CommEventWatch::CommEventWatch(SerialOs& os, int fd) : os_(os), fd_(fd) {
    supported_ = Read(last_);
}

bool CommEventWatch::Read(Counters& counters) {
    serial_icounter_struct icount{};
    if (os_.Ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    counters = {icount.frame,       icount.parity, icount.overrun, icount.brk,
                icount.buf_overrun, icount.dcd,    icount.rng};
    return true;
}

CommEvent CommEventWatch::Take(bool withModem) {
    CommEvent event;
    if (!supported_) {
        return event;
    }
    std::lock_guard lock(mutex_);
    Counters now;
    if (!Read(now)) {
        return event;
    }
    const auto flag = [&event](int before, int after, std::uint32_t bit) {
        if (after != before) {
            event.errors |= bit;
        }
    };
    flag(last_.bufOverrun, now.bufOverrun, CE_RXOVER);
    flag(last_.overrun, now.overrun, CE_OVERRUN);
    flag(last_.parity, now.parity, CE_RXPARITY);
    flag(last_.frame, now.frame, CE_FRAME);
    flag(last_.brk, now.brk, CE_BREAK);
    if (event.errors != 0) {
        event.mask |= EV_ERR;
    }
    last_.bufOverrun = now.bufOverrun;
    last_.overrun = now.overrun;
    last_.parity = now.parity;
    last_.frame = now.frame;
    last_.brk = now.brk;
    if (withModem) {
        if (now.dcd != last_.dcd) {
            event.mask |= EV_RLSD;
        }
        if (now.rng != last_.rng) {
            event.mask |= EV_RING;
        }
        last_.dcd = now.dcd;
        last_.rng = now.rng;
    }
    return event;
}

}  // namespace varnix
