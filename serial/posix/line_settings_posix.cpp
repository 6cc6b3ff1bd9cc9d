#include "line_settings_posix.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace varnix {

// How each property reaches a Linux serial driver.
//
// | Property                 | termios / modem line                                    |
// |--------------------------|---------------------------------------------------------|
// | BaudRate                 | cfsetispeed/cfsetospeed; other rates: nearest constant  |
// | ByteSize                 | CS5 .. CS8                                              |
// | Parity                   | None: -PARENB; Odd: PARENB|PARODD; Even: PARENB;        |
// |                          | Mark: PARENB|CMSPAR|PARODD; Space: PARENB|CMSPAR        |
// | ParityCheck              | INPCK                                                   |
// | StopBits                 | _1: -CSTOPB; _1_5 and _2: CSTOPB (1.5 with 5 data bits) |
// | Outx_CtsFlow             | CRTSCTS                                                 |
// | RtsControl               | Enable: RTS on; Disable: RTS off; Handshake: CRTSCTS;   |
// |                          | TransmissionAvailable: RTS on (no toggle mode)          |
// | DtrControl               | Enable: DTR on; Disable: DTR off; Handshake: DTR on     |
// |                          | (no DTR/DSR handshake in termios)                       |
// | Outx_XonXoffFlow         | IXON                                                    |
// | Inx_XonXoffFlow          | IXOFF                                                   |
// | XonChar, XoffChar        | c_cc[VSTART], c_cc[VSTOP]                               |
// | Outx_DsrFlow             | kept only: no DSR output flow control                   |
// | DsrSensitivity           | kept only: no DSR input gating                          |
// | TxContinueOnXoff         | kept only: the driver's XOFF handling is fixed          |
// | XonLimit, XoffLimit      | kept only: the driver chooses its own thresholds        |
// | ReplaceWhenParityError,  | kept only: with INPCK and no PARMRK a bad character     |
// | ReplacedChar             | already reads as 0x00                                   |
// | IgnoreNullChar           | kept only: null bytes are always delivered              |
//
// Always: raw binary mode (no line editing, echo, signals or output processing),
// CREAD|CLOCAL, and VMIN = VTIME = 0 so that reads never block.

namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 24> kSpeeds{{
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {2000000, B2000000},
}};

tcflag_t CharacterSize(TByteSize size) {
    switch (size) {
        case TByteSize::_5:
            return CS5;
        case TByteSize::_6:
            return CS6;
        case TByteSize::_7:
            return CS7;
        case TByteSize::_8:
            break;
    }
    return CS8;
}

tcflag_t ParityFlags(TParity parity) {
    switch (parity) {
        case TParity::Odd:
            return PARENB | PARODD;
        case TParity::Even:
            return PARENB;
        case TParity::Mark:
            return PARENB | CMSPAR | PARODD;
        case TParity::Space:
            return PARENB | CMSPAR;
        case TParity::None:
            break;
    }
    return 0;
}

}  // namespace

speed_t SpeedFor(std::uint32_t baudRate) {
    speed_t best = B9600;
    std::uint64_t bestDistance = UINT64_MAX;
    for (const auto& [rate, constant] : kSpeeds) {
        const auto distance = static_cast<std::uint64_t>(
            std::llabs(static_cast<long long>(rate) - static_cast<long long>(baudRate)));
        if (distance < bestDistance) {
            best = constant;
            bestDistance = distance;
        }
    }
    return best;
}

LineState BuildLineState(const termios& current, const LineSettings& line) {
    LineState state;
    termios& t = state.settings;
    t = current;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL | CharacterSize(line.byteSize) | ParityFlags(line.parity);
    if (line.stopBits != TStopBits::_1) {
        t.c_cflag |= CSTOPB;
    }
    if (line.parityCheck) {
        t.c_iflag |= INPCK;
    }
    if (line.outxCtsFlow || line.rtsControl == TRtsControl::RtsHandshake) {
        t.c_cflag |= CRTSCTS;
    }
    if (line.outxXonXoffFlow) {
        t.c_iflag |= IXON;
    }
    if (line.inxXonXoffFlow) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(line.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(line.xoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = SpeedFor(line.baudRate);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);

    state.dtrOn = line.dtrControl != TDtrControl::DtrDisable;
    state.rtsOn = line.rtsControl != TRtsControl::RtsDisable;
    return state;
}

}  // namespace varnix
