// The serial port on Windows: opened overlapped and unshared, configured through the DCB
// and COMMTIMEOUTS, with a reader and a writer thread.
#include <memory>
#include <new>
#include <string>

#include "comm_threads_win32.h"
#include "port_backend.h"
#include "port_open_win32.h"

#include <windows.h>

namespace varnix {

namespace {

// The flag word of the DCB, rebuilt from zero: binary mode always, abort-on-error and the
// reserved bits off.
void SetDcbFlags(DCB& dcb, const LineSettings& line) {
    static constexpr DWORD kDtr[] = {DTR_CONTROL_ENABLE, DTR_CONTROL_DISABLE,
                                     DTR_CONTROL_HANDSHAKE};
    static constexpr DWORD kRts[] = {RTS_CONTROL_ENABLE, RTS_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE,
                                     RTS_CONTROL_TOGGLE};
    dcb.fBinary = 1;
    dcb.fParity = line.parityCheck;
    dcb.fOutxCtsFlow = line.outxCtsFlow;
    dcb.fOutxDsrFlow = line.outxDsrFlow;
    dcb.fDtrControl = kDtr[static_cast<int>(line.dtrControl)];
    dcb.fDsrSensitivity = line.dsrSensitivity;
    dcb.fTXContinueOnXoff = line.txContinueOnXoff;
    dcb.fOutX = line.outxXonXoffFlow;
    dcb.fInX = line.inxXonXoffFlow;
    dcb.fErrorChar = line.replaceWhenParityError;
    dcb.fNull = line.ignoreNullChar;
    dcb.fRtsControl = kRts[static_cast<int>(line.rtsControl)];
    dcb.fAbortOnError = 0;
    dcb.fDummy2 = 0;
}

class Win32Port final : public PortBackend {
  public:
    explicit Win32Port(CommNotifier& notify) : notify_(notify) {}
    ~Win32Port() override { Close(); }

    void Open(const std::string& name, const LineSettings& line,
              const CommTimeouts& timeouts) override;
    void Close() override;
    bool IsOpen() const override { return FPortHandle != nullptr; }
    bool Send(const std::uint8_t* buffer, std::uint16_t length) override;
    void ApplyLine(const LineSettings& line) override;
    void ApplyTimeouts(const CommTimeouts& timeouts) override;

  private:
    void StopReader();
    void StopWriter();

    CommNotifier& notify_;
    std::unique_ptr<TReadThread> FReader;
    std::unique_ptr<TWriteThread> FWriter;
    HANDLE FPortHandle = nullptr;
    HANDLE FStopEvent = nullptr;
    std::unique_ptr<BlockQueue> queue_;
};

void Win32Port::Open(const std::string& name, const LineSettings& line,
                     const CommTimeouts& timeouts) {
    const PortDevice device = OpenPortDevice(name);
    if (device.handle == INVALID_HANDLE_VALUE) {
        throw ECommsError(device.message, device.tried);
    }
    const HANDLE port = device.handle;
    FPortHandle = port;
    // Stale operations and bytes of an earlier session; nothing to undo if it fails.
    ::PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    ApplyTimeouts(timeouts);
    ApplyLine(line);

    // From here on the device is open: what fails is the port's own events or threads.
    const PortOpenError resources{PortOpenFault::Resources, device.tried.path, device.tried.linked};
    OpenStep("Unable to create event", resources, [this] {
        FStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (FStopEvent == nullptr) {
            return false;
        }
        // The queue exists from here on, so Send never refuses a block while open.
        queue_ = std::make_unique<BlockQueue>();
        return true;
    });
    const Win32Links links{FPortHandle, FStopEvent, notify_};
    OpenStep("Unable to create read thread", resources, [&] {
        FReader = std::make_unique<TReadThread>(links);
        FReader->Start();
        return true;
    });
    OpenStep("Unable to create write thread", resources, [&] {
        FWriter = std::make_unique<TWriteThread>(links, *queue_);
        FWriter->Start();
        return true;
    });
}

void Win32Port::StopReader() {
    if (!FReader) {
        return;
    }
    ::SetEvent(FStopEvent);
    // Abandons pending input; the reader also cancels its own read on its way out.
    ::PurgeComm(FPortHandle, PURGE_RXABORT | PURGE_RXCLEAR);
    FReader->Join();
    FReader.reset();
}

void Win32Port::StopWriter() {
    if (!FWriter) {
        return;
    }
    ::SetEvent(FStopEvent);
    ::PurgeComm(FPortHandle, PURGE_TXABORT | PURGE_TXCLEAR);
    FWriter->Join();
    FWriter.reset();
}

// Also the clean-up of an open that failed half-way: each part is released only if it
// exists. Results of the closing calls are not needed: nothing is left to retry.
void Win32Port::Close() {
    StopReader();
    StopWriter();
    queue_.reset();
    if (FStopEvent != nullptr) {
        ::CloseHandle(FStopEvent);
        FStopEvent = nullptr;
    }
    if (FPortHandle != nullptr) {
        ::CloseHandle(FPortHandle);
        FPortHandle = nullptr;
    }
}

bool Win32Port::Send(const std::uint8_t* buffer, std::uint16_t length) {
    if (!queue_ || length == 0) {
        return false;
    }
    try {
        return queue_->Push(std::vector<std::uint8_t>(buffer, buffer + length));
    } catch (const std::bad_alloc&) {
        return false;  // the copy cannot be made, so it cannot be queued
    }
}

// Neither result is checked: a rejected state leaves the port with what the driver took.
void Win32Port::ApplyLine(const LineSettings& line) {
    if (!IsOpen()) {
        return;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(FPortHandle, &dcb);
    dcb.BaudRate = line.baudRate;
    SetDcbFlags(dcb, line);
    dcb.XonLim = line.xonLimit;
    dcb.XoffLim = line.xoffLimit;
    dcb.ByteSize = static_cast<BYTE>(static_cast<int>(line.byteSize) + 5);
    dcb.Parity = static_cast<BYTE>(line.parity);
    dcb.StopBits = static_cast<BYTE>(line.stopBits);
    dcb.XonChar = line.xonChar;
    dcb.XoffChar = line.xoffChar;
    dcb.ErrorChar = line.replacedChar;
    ::SetCommState(FPortHandle, &dcb);
}

void Win32Port::ApplyTimeouts(const CommTimeouts& timeouts) {
    if (!IsOpen()) {
        return;
    }
    COMMTIMEOUTS current{};
    ::GetCommTimeouts(FPortHandle, &current);
    current.ReadIntervalTimeout = timeouts.readInterval;
    current.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    current.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    current.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    current.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    ::SetCommTimeouts(FPortHandle, &current);
}

}  // namespace

std::unique_ptr<PortBackend> MakePortBackend(CommNotifier& notify) {
    return std::make_unique<Win32Port>(notify);
}

}  // namespace varnix
