// Types of the serial port component: its enumerations, its exception, the messages its
// worker threads post and the flags those messages carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port_open_error.h"

namespace varnix {

enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };
enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };
enum class TDtrControl : std::uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : std::uint8_t {
    RtsEnable,
    RtsDisable,
    RtsHandshake,
    RtsTransmissionAvailable
};

// Every failure of OpenPort: the component's message, and why the port did not open.
class ECommsError : public PortOpenFailure {
  public:
    using PortOpenFailure::PortOpenFailure;
};

// The flags below carry their Windows names and values. A Win32 source includes
// <windows.h> after this header, whose macros of the same names then agree with them.

// Line error flags carried by OnReceiveError.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// Modem events carried by OnModemStateChange.
inline constexpr std::uint32_t MODEM_RING = 4;
inline constexpr std::uint32_t MODEM_CARRIER = 8;

// Comm event mask bits: what one comm event reports.
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;

// What a worker thread posts to the component; the main thread raises the matching event.
struct CommMessage {
    enum class Kind { Data, Error, Hangup, Modem, TxEmpty };
    Kind kind = Kind::Hangup;
    std::uint32_t value = 0;          // error flags or modem event
    std::vector<std::uint8_t> block;  // Data: the bytes and one zero byte after them
};

// Read time-outs in milliseconds, with the meaning of the Windows comm time-outs.
struct CommTimeouts {
    std::uint32_t readInterval = 100;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// The line state properties as one value.
struct LineSettings {
    std::uint32_t baudRate = 9600;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    TDtrControl dtrControl = TDtrControl::DtrEnable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outxXonXoffFlow = true;
    bool inxXonXoffFlow = true;
    bool replaceWhenParityError = false;
    bool ignoreNullChar = false;
    TRtsControl rtsControl = TRtsControl::RtsEnable;
    std::uint16_t xonLimit = 500;
    std::uint16_t xoffLimit = 500;
    TByteSize byteSize = TByteSize::_8;
    TParity parity = TParity::None;
    TStopBits stopBits = TStopBits::_1;
    char xonChar = 17;
    char xoffChar = 19;
    char replacedChar = 0;
};

}  // namespace varnix
