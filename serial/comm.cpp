#include "comm.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "line_settings.h"
#include "port_names.h"

namespace varnix {

TComm::TComm(QObject* owner, SerialOs& os) : QObject(owner), os_(os) {
    inboxFd_ = os_.EventFd();
    if (inboxFd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    inboxNotifier_ = new QSocketNotifier(inboxFd_, QSocketNotifier::Read, this);
    connect(inboxNotifier_, &QSocketNotifier::activated, this, &TComm::DeliverPosted);
}

TComm::~TComm() {
    ClosePort();
    delete inboxNotifier_;
    os_.Close(inboxFd_);  // nothing to do if it fails
}

void TComm::OpenPort() {
    if (IsOpen()) {
        throw ECommsError("This serial port already opened");
    }
    const auto path = ResolvePortPath(commName_);
    if (!path) {
        throw ECommsError("Error opening serial port");
    }
    const int fd = os_.Open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw ECommsError("Error opening serial port");
    }
    // Until the descriptor is stored, a failure closes it alone; nothing else exists yet
    // and a failed close leaves nothing to undo.
    const auto refuse = [&](const char* message) {
        os_.Close(fd);
        throw ECommsError(message);
    };
    // No sharing: the lock keeps out every other opener, root included.
    if (os_.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refuse("Error opening serial port");
    }
    struct stat info {};
    if (os_.Fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        refuse("File handle is not a comm handle ");
    }
    termios probe{};
    if (os_.TcGetAttr(fd, &probe) != 0) {
        refuse("Cannot setup comm buffer");
    }
    // Also keeps out openers that ignore the lock. A driver that refuses it is no reason
    // to fail: the lock above already holds. ClosePort clears it again, or a pty would
    // stay exclusive after the close and refuse our own next open.
    os_.Ioctl(fd, TIOCEXCL, nullptr);
    FPortHandle = fd;
    // Stale bytes of an earlier session; nothing is lost if the driver cannot flush.
    os_.TcFlush(fd, TCIOFLUSH);
    ApplyCommTimeouts();
    ApplyCommState();

    OpenStep("Unable to create event", [this] {
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
    const ThreadLinks links{os_, FPortHandle, FStopEvent, *this};
    OpenStep("Unable to create read thread", [&] {
        FReader = std::make_unique<TReadThread>(links, sharedTimeouts_, *events_);
        FReader->Start();
        modemWatch_ = std::make_unique<ModemThread>(links, *events_);
        modemWatch_->Start();
        return true;
    });
    OpenStep("Unable to create write thread", [&] {
        FWriter = std::make_unique<TWriteThread>(links, *writeQueue_);
        FWriter->Start();
        return true;
    });
}

template <typename Step>
void TComm::OpenStep(const char* failure, Step step) {
    bool done = false;
    try {
        done = step();
    } catch (const std::exception&) {
        // Allocation or thread creation failed: reported below like any other failure.
    }
    if (!done) {
        ClosePort();
        throw ECommsError(failure);
    }
}

void TComm::StopReader() {
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

void TComm::StopWriter() {
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
void TComm::ClosePort() {
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

bool TComm::SendData(const std::uint8_t* buffer, std::uint16_t length) {
    if (!writeQueue_ || length == 0) {
        return false;
    }
    try {
        return writeQueue_->Push(std::vector<std::uint8_t>(buffer, buffer + length));
    } catch (const std::bad_alloc&) {
        return false;  // the copy cannot be made, so it cannot be queued
    }
}

void TComm::ApplyCommState() {
    termios current{};
    // Should the driver not answer, the state is built from zero: every flag that matters
    // is set below.
    os_.TcGetAttr(FPortHandle, &current);
    const LineState state = BuildLineState(current, line_);
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
void TComm::Post(CommMessage message) {
    {
        std::lock_guard lock(inboxMutex_);
        inbox_.push_back(std::move(message));
    }
    SignalEvent(os_, inboxFd_);
}

void TComm::DeliverPosted() {
    std::uint64_t count = 0;
    // Only resets the descriptor; the inbox itself says what is there.
    os_.Read(inboxFd_, &count, sizeof count);
    // One at a time, without the lock: a handler may run a nested loop that delivers the
    // next ones.
    for (;;) {
        CommMessage message;
        {
            std::lock_guard lock(inboxMutex_);
            if (inbox_.empty()) {
                return;
            }
            message = std::move(inbox_.front());
            inbox_.pop_front();
        }
        NotifyWndProc(message);
    }
}

void TComm::NotifyWndProc(const CommMessage& message) {
    switch (message.kind) {
        case CommMessage::Kind::Data:
            if (OnReceiveData) {
                OnReceiveData(this, message.block.data(),
                              static_cast<std::uint16_t>(message.block.size() - 1));
            }
            break;
        case CommMessage::Kind::Error:
            if (OnReceiveError) {
                OnReceiveError(this, message.value);
            }
            break;
        case CommMessage::Kind::Hangup:
            if (OnRequestHangup) {
                OnRequestHangup(this);
            }
            break;
        case CommMessage::Kind::Modem:
            if (OnModemStateChange) {
                OnModemStateChange(this, message.value);
            }
            break;
        case CommMessage::Kind::TxEmpty:
            if (OnSendDataEmpty) {
                OnSendDataEmpty(this);
            }
            break;
    }
}

}  // namespace varnix
