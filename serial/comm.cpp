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
    os_.Close(inboxFd_);
}

void TComm::FailOpen(const char* message) {
    if (FReader) {
        StopReader();
    }
    FReader.reset();
    FWriter.reset();
    modemWatch_.reset();
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
        os_.Close(FPortHandle);
        FPortHandle = -1;
    }
    throw ECommsError(message);
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
    // No sharing: the lock keeps out every other opener, root included.
    if (os_.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
        os_.Close(fd);
        throw ECommsError("Error opening serial port");
    }
    struct stat info {};
    if (os_.Fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        os_.Close(fd);
        throw ECommsError("File handle is not a comm handle ");
    }
    termios probe{};
    if (os_.TcGetAttr(fd, &probe) != 0) {
        os_.Close(fd);
        throw ECommsError("Cannot setup comm buffer");
    }
    os_.Ioctl(fd, TIOCEXCL, nullptr);
    FPortHandle = fd;
    os_.TcFlush(fd, TCIOFLUSH);
    ApplyCommTimeouts();
    ApplyCommState();

    FStopEvent = os_.EventFd();
    if (FStopEvent < 0) {
        FailOpen("Unable to create event");
    }
    const int wakeFd = os_.EventFd();
    if (wakeFd < 0) {
        FailOpen("Unable to create event");
    }
    // The queue exists from here on, so SendData never refuses a block while open.
    writeQueue_ = std::make_unique<WriteQueue>(os_, wakeFd);
    events_ = std::make_unique<CommEventWatch>(os_, FPortHandle);

    CommNotifier& notify = *this;
    try {
        FReader = std::make_unique<TReadThread>(os_, FPortHandle, FStopEvent, notify,
                                                sharedTimeouts_, *events_);
        FReader->Start();
        modemWatch_ = std::make_unique<ModemThread>(os_, FPortHandle, FStopEvent, notify, *events_);
        modemWatch_->Start();
    } catch (const std::exception&) {
        FailOpen("Unable to create read thread");
    }
    try {
        FWriter =
            std::make_unique<TWriteThread>(os_, FPortHandle, FStopEvent, notify, *writeQueue_);
        FWriter->Start();
    } catch (const std::exception&) {
        FailOpen("Unable to create write thread");
    }
}

void TComm::StopReader() {
    const std::uint64_t one = 1;
    os_.Write(FStopEvent, &one, sizeof one);
    os_.TcFlush(FPortHandle, TCIFLUSH);
    FReader->Join();
    FReader.reset();
    if (modemWatch_) {
        modemWatch_->Stop();
        modemWatch_.reset();
    }
}

void TComm::StopWriter() {
    const std::uint64_t one = 1;
    os_.Write(FStopEvent, &one, sizeof one);
    os_.TcFlush(FPortHandle, TCOFLUSH);
    FWriter->Join();
    FWriter.reset();
}

void TComm::ClosePort() {
    if (!IsOpen()) {
        return;
    }
    StopReader();
    StopWriter();
    events_.reset();
    os_.Close(writeQueue_->WakeFd());
    writeQueue_.reset();
    os_.Close(FStopEvent);
    FStopEvent = -1;
    os_.Close(FPortHandle);
    FPortHandle = -1;
}

bool TComm::SendData(const std::uint8_t* buffer, std::uint16_t length) {
    if (!FWriter || length == 0) {
        return false;
    }
    writeQueue_->Push(std::vector<std::uint8_t>(buffer, buffer + length));
    return true;
}

void TComm::ApplyCommState() {
    termios current{};
    os_.TcGetAttr(FPortHandle, &current);
    const LineState state = BuildLineState(current, line_);
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
    const std::uint64_t one = 1;
    os_.Write(inboxFd_, &one, sizeof one);
}

void TComm::DeliverPosted() {
    std::uint64_t count = 0;
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
