// TComm: one serial port, opened by name, configured from its properties, with a reader
// and a writer thread. Everything the threads report is raised as an event on the main
// thread, in the order it was posted. The port itself is the operating system's backend;
// this class keeps the properties and raises the events.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm_types.h"

namespace varnix {

class TComm;
class CommInbox;
class CommNotifier;
class PortBackend;

// Makes the port that reports to the given notifier.
using PortFactory = std::function<std::unique_ptr<PortBackend>(CommNotifier&)>;

using TReceiveDataEvent =
    std::function<void(TComm* sender, const std::uint8_t* buffer, std::uint16_t bufferLength)>;
using TReceiveErrorEvent = std::function<void(TComm* sender, std::uint32_t eventMask)>;
using TModemStateChangeEvent = std::function<void(TComm* sender, std::uint32_t modemEvent)>;
using TNotifyEvent = std::function<void(TComm* sender)>;
using TSendDataEmptyEvent = std::function<void(TComm* sender)>;

// A line state property: the setter compares, stores and re-applies while open.
#define VARNIX_LINE_PROPERTY(Type, Name, field) \
    Type Name() const {                         \
        return line_.field;                     \
    }                                           \
    void Set##Name(Type value) {                \
        if (line_.field != value) {             \
            line_.field = value;                \
            ApplyCommStateIfOpen();             \
        }                                       \
    }

// A time-out property: the setter compares, stores and re-applies the time-outs.
#define VARNIX_TIMEOUT_PROPERTY(Name, field) \
    std::uint32_t Name() const {             \
        return timeouts_.field;              \
    }                                        \
    void Set##Name(std::uint32_t value) {    \
        if (timeouts_.field != value) {      \
            timeouts_.field = value;         \
            ApplyCommTimeoutsIfOpen();       \
        }                                    \
    }

class TComm : public QObject {
    Q_OBJECT
  public:
    explicit TComm(QObject* owner = nullptr);
    // The port comes from `makePort` (tests stand in for the driver this way).
    TComm(QObject* owner, const PortFactory& makePort);
    // Closes an open port first: the threads never outlive the component.
    ~TComm() override;

    void OpenPort();   // throws ECommsError
    void ClosePort();  // never throws
    bool SendData(const std::uint8_t* buffer, std::uint16_t length);
    bool IsOpen() const;

    // Written to their fields only: they reach the port at the next open (CommName) or
    // the next re-apply of the line state (Parity).
    const std::string& CommName() const { return commName_; }
    void SetCommName(const std::string& name) { commName_ = name; }
    TParity Parity() const { return line_.parity; }
    void SetParity(TParity parity) { line_.parity = parity; }

    VARNIX_LINE_PROPERTY(std::uint32_t, BaudRate, baudRate)
    VARNIX_LINE_PROPERTY(bool, ParityCheck, parityCheck)
    VARNIX_LINE_PROPERTY(bool, Outx_CtsFlow, outxCtsFlow)
    VARNIX_LINE_PROPERTY(bool, Outx_DsrFlow, outxDsrFlow)
    VARNIX_LINE_PROPERTY(TDtrControl, DtrControl, dtrControl)
    VARNIX_LINE_PROPERTY(bool, DsrSensitivity, dsrSensitivity)
    VARNIX_LINE_PROPERTY(bool, TxContinueOnXoff, txContinueOnXoff)
    VARNIX_LINE_PROPERTY(bool, Outx_XonXoffFlow, outxXonXoffFlow)
    VARNIX_LINE_PROPERTY(bool, Inx_XonXoffFlow, inxXonXoffFlow)
    VARNIX_LINE_PROPERTY(bool, ReplaceWhenParityError, replaceWhenParityError)
    VARNIX_LINE_PROPERTY(bool, IgnoreNullChar, ignoreNullChar)
    VARNIX_LINE_PROPERTY(TRtsControl, RtsControl, rtsControl)
    VARNIX_LINE_PROPERTY(std::uint16_t, XonLimit, xonLimit)
    VARNIX_LINE_PROPERTY(std::uint16_t, XoffLimit, xoffLimit)
    VARNIX_LINE_PROPERTY(TByteSize, ByteSize, byteSize)
    VARNIX_LINE_PROPERTY(TStopBits, StopBits, stopBits)
    VARNIX_LINE_PROPERTY(char, XonChar, xonChar)
    VARNIX_LINE_PROPERTY(char, XoffChar, xoffChar)
    VARNIX_LINE_PROPERTY(char, ReplacedChar, replacedChar)

    VARNIX_TIMEOUT_PROPERTY(ReadIntervalTimeout, readInterval)
    VARNIX_TIMEOUT_PROPERTY(ReadTotalTimeoutMultiplier, readTotalMultiplier)
    VARNIX_TIMEOUT_PROPERTY(ReadTotalTimeoutConstant, readTotalConstant)
    VARNIX_TIMEOUT_PROPERTY(WriteTotalTimeoutMultiplier, writeTotalMultiplier)
    VARNIX_TIMEOUT_PROPERTY(WriteTotalTimeoutConstant, writeTotalConstant)

    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TNotifyEvent OnRequestHangup;
    TSendDataEmptyEvent OnSendDataEmpty;

  private:
    void ApplyCommStateIfOpen();
    void ApplyCommTimeoutsIfOpen();
    void DeliverPosted();
    void NotifyWndProc(const CommMessage& message);

    std::string commName_ = "COM2";
    LineSettings line_;
    CommTimeouts timeouts_;
    // Messages from the threads wait here until the main loop delivers them.
    std::unique_ptr<CommInbox> inbox_;
    std::unique_ptr<PortBackend> port_;
};

#undef VARNIX_LINE_PROPERTY
#undef VARNIX_TIMEOUT_PROPERTY

}  // namespace varnix
