#include "comm.h"

#include "comm_inbox.h"
#include "inbox_watch.h"
#include "port_backend.h"

namespace varnix {

TComm::TComm(QObject* owner) : TComm(owner, MakePortBackend) {}

TComm::TComm(QObject* owner, const PortFactory& makePort)
    : QObject(owner), inbox_(std::make_unique<CommInbox>()), port_(makePort(*inbox_)) {
    // The threads post from anywhere; the main loop raises the events in posting order.
    WatchInbox(*inbox_, this, [this] { DeliverPosted(); });
}

TComm::~TComm() {
    ClosePort();
}

void TComm::OpenPort() {
    if (IsOpen()) {
        throw ECommsError("This serial port already opened");
    }
    port_->Open(commName_, line_, timeouts_);
}

void TComm::ClosePort() {
    port_->Close();
}

bool TComm::IsOpen() const {
    return port_->IsOpen();
}

bool TComm::SendData(const std::uint8_t* buffer, std::uint16_t length) {
    return length != 0 && port_->Send(buffer, length);
}

void TComm::ApplyCommStateIfOpen() {
    port_->ApplyLine(line_);
}

void TComm::ApplyCommTimeoutsIfOpen() {
    port_->ApplyTimeouts(timeouts_);
}

void TComm::DeliverPosted() {
    inbox_->ClearWake();
    // One at a time: a handler may run a nested loop that delivers the next ones.
    while (auto message = inbox_->Take()) {
        NotifyWndProc(*message);
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
