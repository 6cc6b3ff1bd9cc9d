// Looks for the relay device on several port names at once: each port that is there and
// free is opened at the link's settings and sent the password request, the one request
// that changes nothing on the device; a port that answers with a password reply within
// the reply window has the device. A port another program holds is never opened.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnix {

class TComm;

struct ProbeResult {
    enum class Outcome {
        Answered,      // a password reply came
        Silent,        // opened and asked; nothing that is a password reply came
        Busy,          // another program holds it: not opened
        NotPermitted,  // this user may not open it
        Missing,       // no device behind the name
        Failed,        // the system refused otherwise, or the line went away (see reason)
    };
    std::string name;
    std::string path;  // the device the name leads to
    Outcome outcome = Outcome::Missing;
    std::string reason;
};

class PortProbe : public QObject {
    Q_OBJECT
  public:
    // How long every port is given to answer, counted from the requests going out. A
    // password transfer sends its request at a tick and gives up at the third tick after
    // it (3 x 500 ms), so a device that answers a password transfer answers within this
    // too; the PC's reader still needs its 100 ms of silence after the reply's last byte,
    // which leaves the device some 1.4 s, far more than the few milliseconds it takes.
    static constexpr int kReplyWindowMs = 1500;

    explicit PortProbe(QObject* parent = nullptr);
    ~PortProbe() override;

    // Probes the names (such as "COM1" or a device path) together and emits `finished`
    // once, with one result per name in the given order: when every port asked has
    // answered, or when the reply window ends. Every port opened is closed before that.
    // A Start while a probe runs is ignored.
    void Start(const std::vector<std::string>& names);
    bool Running() const { return running_; }

  signals:
    // Raised on the probe's own thread; connect directly (the type is not registered for
    // queued connections).
    void finished(const std::vector<ProbeResult>& results);

  private:
    struct Asked;
    void Received(std::size_t index, const std::uint8_t* bytes, std::uint16_t length);
    void LineLost(std::size_t index);
    void FinishIfAllAnswered();
    void Finish();

    std::vector<ProbeResult> results_;
    std::vector<std::unique_ptr<Asked>> asked_;
    QTimer window_;
    bool running_ = false;
};

}  // namespace varnix
