#include "device_session.h"

#include "link_settings.h"

namespace varnix {

namespace {

FailureKind PortFailureKind(PortOpenFault fault) {
    switch (fault) {
        case PortOpenFault::Busy:
            return FailureKind::PortBusy;
        case PortOpenFault::NotPermitted:
            return FailureKind::PortPermission;
        case PortOpenFault::NoName:
        case PortOpenFault::Missing:
        case PortOpenFault::NoHardware:
            return FailureKind::PortMissing;
        case PortOpenFault::NotADevice:
        case PortOpenFault::Resources:
        case PortOpenFault::Other:
            break;
    }
    return FailureKind::PortUnusable;
}

// One clause on why the port did not open; `message` is what the serial component said.
std::string PortFailureReason(const PortOpenError& cause, const std::string& message) {
    const std::string device = cause.path.empty() ? "" : " " + cause.path;
    switch (cause.fault) {
        case PortOpenFault::NoName:
            return "no device has that name";
        case PortOpenFault::Missing:
            return "no device at" + device;
        case PortOpenFault::NoHardware:
            return "no serial port hardware behind" + device;
        case PortOpenFault::NotPermitted:
            return "no permission to open" + device +
                   (cause.group.empty() ? "" : " (group \"" + cause.group + "\")");
        case PortOpenFault::Busy:
            return "the port is busy: another program holds" + device;
        case PortOpenFault::NotADevice:
        case PortOpenFault::Other:
            return cause.reason.empty() ? message : cause.reason;
        case PortOpenFault::Resources:
            break;
    }
    return message.empty() ? "the port did not open" : message;
}

std::string TransferFailureReason(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::NoReply:
            return "no reply from the device";
        case TransferFailure::DeviceRefused:
            return "the device refused the data";
        case TransferFailure::RecordsStopped:
            return "the device stopped sending the numbers it announced";
        case TransferFailure::BadReply:
            return "the device announced more numbers than it has slots";
        case TransferFailure::Interrupted:
            return "the device sent its settings in the middle of the transfer";
    }
    return "the transfer failed";
}

FailureKind TransferFailureKind(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::NoReply:
            return FailureKind::NoReply;
        case TransferFailure::DeviceRefused:
            return FailureKind::DeviceRefused;
        case TransferFailure::RecordsStopped:
            return FailureKind::RecordsStopped;
        case TransferFailure::BadReply:
            return FailureKind::BadReply;
        case TransferFailure::Interrupted:
            return FailureKind::Interrupted;
    }
    return FailureKind::NoReply;
}

// What a write that ends unfinished has left on the device, as one clause.
std::string WriteLeft(const WriteStanding& standing) {
    const std::string total = std::to_string(standing.numbersTotal);
    if (!standing.settingsSent) {
        return "nothing was sent, the device holds what it held before";
    }
    if (!standing.settingsAccepted) {
        return "the device may hold the new relay settings, and none of the " + total +
               " numbers; write again to finish";
    }
    std::string left = "the device holds the new relay settings and " +
                       std::to_string(standing.numbersAccepted) + " of the " + total + " numbers";
    if (standing.numbersPending > 0) {
        left += " (perhaps " + std::to_string(standing.numbersPending) + " more)";
    }
    return left + "; write again to finish";
}

}  // namespace

DeviceSession::DeviceSession(ConfigValues& values, EventGuard guard, QObject* parent)
    : QObject(parent),
      values_(values),
      guard_(std::move(guard)),
      comm_(this),
      timer_(kTickMs, guard_, this),
      transfer_(port_, target_, *this) {
    comm_.SetCommName("COM1");
    ApplyLinkSettings(comm_);
    comm_.OnReceiveData = [this](TComm*, const std::uint8_t* buffer, std::uint16_t length) {
        guard_([&] { transfer_.ReceiveBurst(buffer, length); });
    };
    // The line went away (adapter unplugged, device gone): the next start opens the port
    // afresh instead of sending into a dead line for ever.
    comm_.OnRequestHangup = [this](TComm*) {
        transfer_.PortReady = false;
        LineLost();
    };
    timer_.SetOnTick([this] { transfer_.Tick(); });
    transfer_.Reset();
}

DeviceSession::~DeviceSession() = default;

std::string DeviceSession::PortName() const {
    return chooser_ ? chooser_() : portName_;
}

template <typename Start>
void DeviceSession::Begin(TransferKind kind, Start start, ConfigValues& target) {
    target_.PointAt(target);
    readingCopy_ = &target == &copy_;
    active_ = kind;
    (transfer_.*start)();
    // A start that failed has reported so, and one that has not is running.
    if (active_ && !transfer_.Running()) {
        active_.reset();
    }
}

void DeviceSession::Read() {
    Begin(TransferKind::Read, &DeviceTransfer::StartRead, values_);
}

void DeviceSession::ReadCopy() {
    copy_ = ConfigRecord();
    Begin(TransferKind::Read, &DeviceTransfer::StartRead, copy_);
}

void DeviceSession::Write() {
    Begin(TransferKind::Write, &DeviceTransfer::StartWrite, values_);
}

void DeviceSession::GetPassword() {
    Begin(TransferKind::GetPassword, &DeviceTransfer::StartGetPassword, values_);
}

void DeviceSession::SetPassword() {
    Begin(TransferKind::SetPassword, &DeviceTransfer::StartSetPassword, values_);
}

void DeviceSession::Cancel() {
    if (!active_) {
        return;
    }
    const std::string reason = WhatIsLeft("stopped");
    transfer_.Cancel();
    Fail({FailureKind::Cancelled, false, {}, reason, PortName(), std::nullopt});
}

std::string DeviceSession::WhatIsLeft(const std::string& why) const {
    if (transfer_.Running() != TransferKind::Write) {
        return why;
    }
    return why + ": " + WriteLeft(transfer_.Standing());
}

void DeviceSession::Fail(SessionFailure failure) {
    if (const auto kind = active_) {
        active_.reset();
        emit failed(*kind, failure);
    }
}

void DeviceSession::LineLost() {
    if (!active_) {
        return;
    }
    const std::string reason = WhatIsLeft("the line went away");
    // A write ends here, with what the device holds; any other transfer runs on to its own
    // failure text.
    if (transfer_.Running() == TransferKind::Write) {
        transfer_.Cancel();
    }
    Fail({FailureKind::LineLost, false, {}, reason, comm_.CommName(), std::nullopt});
}

void DeviceSession::StartFailed(const StartFailure& failure) {
    SessionFailure report{FailureKind::InvalidValues,
                          true,
                          failure.text,
                          failure.text,
                          PortName(),
                          std::nullopt,
                          failure.slot};
    if (failure.problem == StartProblem::PortNotOpened) {
        const PortOpenError cause = failure.port.value_or(PortOpenError{});
        report.kind = PortFailureKind(cause.fault);
        report.reason = PortFailureReason(cause, failure.reason);
        report.diagnosis = cause;
    } else if (failure.problem == StartProblem::Aborted) {
        report.kind = FailureKind::Aborted;
    }
    Fail(std::move(report));
}

void DeviceSession::TransferProgress(TransferKind kind, int done, int total) {
    if (active_ == kind) {
        emit progressed(kind, done, total);
    }
}

void DeviceSession::TransferDone(TransferKind kind) {
    if (active_ == kind) {
        active_.reset();
        emit finished(kind);
    }
}

void DeviceSession::TransferFailed(TransferKind kind, TransferFailure failure) {
    if (active_ == kind) {
        Fail({TransferFailureKind(failure),
              false,
              {},
              TransferFailureReason(failure),
              comm_.CommName(),
              std::nullopt});
    }
}

}  // namespace varnix
