#include "port_probe.h"

#include <algorithm>
#include <exception>

#include "comm.h"
#include "link_frame.h"
#include "link_settings.h"
#include "port_survey.h"

namespace varnix {

namespace {

using Outcome = ProbeResult::Outcome;

// 0xAA, 0x12, the password, 0xEE. The password must not be empty: a line that echoes
// what is sent (a loop-back plug, a modem in echo mode) returns the request itself,
// 0xAA 0x12 0x00 0xEE, and that is no device.
bool EndsWithPasswordReply(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t start = bytes.size(); start-- > 0;) {
        if (bytes[start] != kFrameStart) {
            continue;
        }
        const std::size_t length = bytes.size() - start;
        if (length < 4 || bytes[start + 1] != static_cast<std::uint8_t>(Command::Password)) {
            return false;
        }
        const Reply reply = RecognizeReply(&bytes[start], length);
        return reply.kind == ReplyKind::Password && !reply.password.empty();
    }
    return false;
}

Outcome OutcomeOf(PortFacts::State state) {
    switch (state) {
        case PortFacts::State::Present:
            return Outcome::Silent;  // until it answers
        case PortFacts::State::Busy:
            return Outcome::Busy;
        case PortFacts::State::NotPermitted:
            return Outcome::NotPermitted;
        case PortFacts::State::Missing:
        case PortFacts::State::NoHardware:
        case PortFacts::State::NoDevice:
            return Outcome::Missing;
        case PortFacts::State::Unusable:
            break;
    }
    return Outcome::Failed;
}

}  // namespace

// One port opened and asked, with what it has sent back so far.
struct PortProbe::Asked {
    std::size_t index = 0;
    TComm* comm = nullptr;  // a child of the probe, so it goes with it
    std::vector<std::uint8_t> received;
    bool done = false;  // answered, or its line went away
};

PortProbe::PortProbe(QObject* parent) : QObject(parent) {
    window_.setSingleShot(true);
    window_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end 5% early
    window_.setInterval(kReplyWindowMs);
    connect(&window_, &QTimer::timeout, this, [this] { Finish(); });
}

PortProbe::~PortProbe() = default;

void PortProbe::Start(const std::vector<std::string>& names) {
    if (running_) {
        return;
    }
    running_ = true;
    results_.clear();
    asked_.clear();
    const auto found = FindSerialDevices();
    for (const std::string& name : names) {
        // The same look as the list of ports: a port held elsewhere is only tried the way
        // that leaves it alone, and is then left out.
        const PortFacts facts = SurveyPort(name, found, "");
        ProbeResult result{name, facts.path, OutcomeOf(facts.state), facts.reason};
        if (result.outcome == Outcome::Silent) {
            auto asked = std::make_unique<Asked>();
            asked->index = results_.size();
            asked->comm = new TComm(this);
            ApplyLinkSettings(*asked->comm);
            asked->comm->SetCommName(name);
            const std::size_t index = asked->index;
            asked->comm->OnReceiveData = [this, index](TComm*, const std::uint8_t* bytes,
                                                       std::uint16_t length) {
                Received(index, bytes, length);
            };
            asked->comm->OnRequestHangup = [this, index](TComm*) { LineLost(index); };
            try {
                asked->comm->OpenPort();
                std::uint8_t request[kShortFrameLength];
                BuildShortFrame(request, Command::Password);
                asked->comm->SendData(request, sizeof request);
                asked_.push_back(std::move(asked));
            } catch (const ECommsError& error) {
                asked->comm->deleteLater();
                // Taken between the look and the open, or refused otherwise.
                const PortOpenError& cause = error.Cause();
                result.outcome = OutcomeOf(StateOf(cause.fault));
                result.reason = cause.reason.empty() ? error.what() : cause.reason;
            } catch (const std::exception& error) {
                asked->comm->deleteLater();
                result.outcome = Outcome::Failed;
                result.reason = error.what();
            }
        }
        results_.push_back(result);
    }
    window_.start();
    // Nothing asked: the result is known now, but is reported from the event loop as
    // always, so the caller's connections see it after Start returns.
    QTimer::singleShot(0, this, [this] { FinishIfAllAnswered(); });
}

void PortProbe::Received(std::size_t index, const std::uint8_t* bytes, std::uint16_t length) {
    const auto asked = std::find_if(asked_.begin(), asked_.end(),
                                    [index](const auto& one) { return one->index == index; });
    if (!running_ || asked == asked_.end() || (*asked)->done) {
        return;
    }
    (*asked)->received.insert((*asked)->received.end(), bytes, bytes + length);
    if (EndsWithPasswordReply((*asked)->received)) {
        (*asked)->done = true;
        results_[index].outcome = Outcome::Answered;
        results_[index].reason.clear();
        FinishIfAllAnswered();
    }
}

void PortProbe::LineLost(std::size_t index) {
    const auto asked = std::find_if(asked_.begin(), asked_.end(),
                                    [index](const auto& one) { return one->index == index; });
    if (!running_ || asked == asked_.end() || (*asked)->done) {
        return;
    }
    (*asked)->done = true;
    results_[index].outcome = Outcome::Failed;
    results_[index].reason = "the line went away";
    FinishIfAllAnswered();
}

void PortProbe::FinishIfAllAnswered() {
    if (running_ &&
        std::all_of(asked_.begin(), asked_.end(), [](const auto& asked) { return asked->done; })) {
        Finish();
    }
}

void PortProbe::Finish() {
    if (!running_) {
        return;
    }
    window_.stop();
    running_ = false;
    for (const auto& asked : asked_) {
        asked->comm->ClosePort();
        // Deleted once the event that called this is over: it may be one of its own.
        asked->comm->deleteLater();
        if (!asked->done) {
            results_[asked->index].reason =
                asked->received.empty() ? "no reply" : "no password reply";
        }
    }
    asked_.clear();
    // A copy: a handler may start the next probe, which empties the member.
    const std::vector<ProbeResult> results = results_;
    emit finished(results);
}

}  // namespace varnix
