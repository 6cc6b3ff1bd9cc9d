// The serial port on Linux: a tty opened non-blocking, configured through termios, with
// a reader, a writer and a modem-line watcher thread.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <memory>
#include <new>

#include "comm_event_watch_posix.h"
#include "line_settings_posix.h"
#include "modem_thread_posix.h"
#include "port_backend.h"
#include "port_backend_posix.h"
#include "port_open_posix.h"
#include "read_thread_posix.h"
#include "serial_os_posix.h"
#include "thread_shared_posix.h"
#include "write_thread_posix.h"

namespace varnix {

namespace {

class PosixPort final : public PortBackend {
  public:
    PosixPort(CommNotifier& notify, SerialOs& os) : notify_(notify), os_(os) {}
    ~PosixPort() override { Close(); }

    void Open(const std::string& name, const LineSettings& line,
              const CommTimeouts& timeouts) override;
    void Close() override;
    bool IsOpen() const override { return FPortHandle >= 0; }
    bool Send(const std::uint8_t* buffer, std::uint16_t length) override;
    void ApplyLine(const LineSettings& line) override;
    void ApplyTimeouts(const CommTimeouts& timeouts) override { sharedTimeouts_.Set(timeouts); }

  private:
    void StopReader();
    void StopWriter();

    CommNotifier& notify_;
    SerialOs& os_;
    std::unique_ptr<TReadThread> FReader;
    std::unique_ptr<TWriteThread> FWriter;
    std::unique_ptr<ModemThread> modemWatch_;
    int FPortHandle = -1;
    int FStopEvent = -1;
    SharedTimeouts sharedTimeouts_;
    std::unique_ptr<WriteQueue> writeQueue_;
    std::unique_ptr<CommEventWatch> events_;
};

}  // namespace

void PosixPort::Open(const std::string& name, const LineSettings& line,
                     const CommTimeouts& timeouts) {
    const PortDevice device = OpenPortDevice(os_, name);
    if (device.fd < 0) {
        throw ECommsError(device.message, device.tried);
    }
    const int fd = device.fd;
    // Also keeps out openers that ignore the lock. A driver that refuses it is no reason
    // to fail: the lock above already holds. ClosePort clears it again, or a pty would
    // stay exclusive after the close and refuse our own next open.
    os_.Ioctl(fd, TIOCEXCL, nullptr);
    FPortHandle = fd;
    // Stale bytes of an earlier session; nothing is lost if the driver cannot flush.
    os_.TcFlush(fd, TCIOFLUSH);
    ApplyTimeouts(timeouts);
    ApplyLine(line);

    // From here on the device is open: what fails is the port's own events or threads.
    const PortOpenError resources{PortOpenFault::Resources, device.tried.path, device.tried.linked};
    OpenStep("Unable to create event", resources, [this] {
        FStopEvent = os_.EventFd();
        const int wakeFd = FStopEvent < 0 ? -1 : os_.EventFd();
        if (wakeFd < 0) {
            return false;
        }
        // The queue exists from here on, so SendData never refuses a block while open.
        try {
            writeQueue_ = std::make_unique<WriteQueue>(os_, wakeFd);
        } catch (...) {
            os_.Close(wakeFd);
            throw;
        }
        events_ = std::make_unique<CommEventWatch>(os_, FPortHandle);
        return true;
    });
    const ThreadLinks links{os_, FPortHandle, FStopEvent, notify_};
    OpenStep("Unable to create read thread", resources, [&] {
        FReader = std::make_unique<TReadThread>(links, sharedTimeouts_, *events_);
        FReader->Start();
        modemWatch_ = std::make_unique<ModemThread>(links, *events_);
        modemWatch_->Start();
        return true;
    });
    OpenStep("Unable to create write thread", resources, [&] {
        FWriter = std::make_unique<TWriteThread>(links, *writeQueue_);
        FWriter->Start();
        return true;
    });
}

void PosixPort::StopReader() {
    if (!FReader && !modemWatch_) {
        return;
    }
    SignalEvent(os_, FStopEvent);
    // Wakes a reader that is about to read; nothing to undo if the flush fails.
    os_.TcFlush(FPortHandle, TCIFLUSH);
    if (FReader) {
        FReader->Join();
        FReader.reset();
    }
    if (modemWatch_) {
        modemWatch_->Join();
        modemWatch_.reset();
    }
}

void PosixPort::StopWriter() {
    if (!FWriter) {
        return;
    }
    SignalEvent(os_, FStopEvent);
    // Abandons output not yet on the line; nothing to undo if the flush fails.
    os_.TcFlush(FPortHandle, TCOFLUSH);
    FWriter->Join();
    FWriter.reset();
}

// Also the clean-up of an open that failed half-way: each part is released only if it
// exists. Results of the closing calls are not needed: nothing is left to retry.
void PosixPort::Close() {
    StopReader();
    StopWriter();
    events_.reset();
    if (writeQueue_) {
        os_.Close(writeQueue_->WakeFd());
        writeQueue_.reset();
    }
    if (FStopEvent >= 0) {
        os_.Close(FStopEvent);
        FStopEvent = -1;
    }
    if (FPortHandle >= 0) {
        os_.Ioctl(FPortHandle, TIOCNXCL, nullptr);
        os_.Close(FPortHandle);
        FPortHandle = -1;
    }
}

bool PosixPort::Send(const std::uint8_t* buffer, std::uint16_t length) {
    if (!writeQueue_ || length == 0) {
        return false;
    }
    try {
        return writeQueue_->Push(std::vector<std::uint8_t>(buffer, buffer + length));
    } catch (const std::bad_alloc&) {
        return false;  // the copy cannot be made, so it cannot be queued
    }
}

void PosixPort::ApplyLine(const LineSettings& line) {
    if (!IsOpen()) {
        return;
    }
    termios current{};
    // Should the driver not answer, the state is built from zero: every flag that matters
    // is set below.
    os_.TcGetAttr(FPortHandle, &current);
    const LineState state = BuildLineState(current, line);
    // A rejected line state is not reported: the port stays usable with what the driver
    // took.
    os_.TcSetAttr(FPortHandle, TCSANOW, &state.settings);
    // Drivers without modem lines refuse these; that is not a failure.
    int dtr = TIOCM_DTR;
    os_.Ioctl(FPortHandle, state.dtrOn ? TIOCMBIS : TIOCMBIC, &dtr);
    int rts = TIOCM_RTS;
    os_.Ioctl(FPortHandle, state.rtsOn ? TIOCMBIS : TIOCMBIC, &rts);
}

// The threads put each message into the inbox under its lock and signal the inbox
// descriptor; the main loop sees the descriptor readable and raises the messages in
// order. No Qt object crosses threads, so the hand-over is plain to the thread sanitizer.

std::unique_ptr<PortBackend> MakePosixPortBackend(CommNotifier& notify, SerialOs& os) {
    return std::make_unique<PosixPort>(notify, os);
}

std::unique_ptr<PortBackend> MakePortBackend(CommNotifier& notify) {
    return MakePosixPortBackend(notify, SerialOs::Real());
}

}  // namespace varnix
