#include "command_run.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <exception>
#include <stdexcept>

#include "command_reports.h"
#include "config_comparison.h"
#include "console.h"
#include "file_save.h"
#include "load_notes.h"
#include "phone_csv.h"
#include "port_choice.h"
#include "port_survey.h"
#include "write_check.h"

namespace varnix {

namespace {

// Time for the frames queued last (the acknowledge of the last numbers) to go out before
// the port closes.
constexpr int kDrainMs = 200;
constexpr int kInterruptPollMs = 100;

// The signal that asked the run to stop, 0 while none did.
std::atomic<int> interrupted{0};

// The first stop is handled by the run, which says what it leaves; a second one, while
// the run is still busy with that or blocked outside the event loop, ends it at once.
extern "C" void OnInterrupt(int signal) {
    if (interrupted.exchange(signal) != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

// The reason without the file's name, where the error already begins with it.
std::string ReasonFor(const std::string& path, const std::string& what) {
    const std::string prefix = path + ": ";
    return what.compare(0, prefix.size(), prefix) == 0 ? what.substr(prefix.size()) : what;
}

// What a file argument names in messages: "-" is a standard stream.
std::string Shown(const std::string& path, bool input) {
    if (!IsStandardStream(path)) {
        return path;
    }
    return input ? "standard input" : "standard output";
}

// A CSV file, or "-", which always carries CSV.
bool IsCsvFile(const std::string& path) {
    return IsCsvName(path) || IsStandardStream(path);
}

std::string ReadAll(std::FILE* stream) {
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        text.append(buffer, got);
    }
    if (std::ferror(stream)) {
        throw std::runtime_error("it could not be read");
    }
    return text;
}

// The facts of one port name now, marked when it is the remembered choice.
PortFacts SurveyPortNamed(const std::string& name) {
    std::string chosen;
    try {
        chosen = RememberedPortName();
    } catch (const std::exception&) {
        // an unreadable choice marks no name
    }
    return SurveyPort(name, FindSerialDevices(), chosen);
}

std::string Numbers(int count) {
    return std::to_string(count) + (count == 1 ? " number" : " numbers");
}

}  // namespace

CommandRun::CommandRun(CommandOptions options, std::FILE* out, std::FILE* err, bool terminal)
    : options_(std::move(options)),
      out_(out),
      err_(err),
      progress_(err, terminal, options_.quiet),
      session_(
          values_, [this](const std::function<void()>& body) { Guarded(body); }, this) {
    connect(&session_, &DeviceSession::progressed, this, &CommandRun::OnProgress);
    connect(&session_, &DeviceSession::finished, this, &CommandRun::OnFinished);
    connect(&session_, &DeviceSession::failed, this, &CommandRun::OnFailed);
    interruptWatch_.setInterval(kInterruptPollMs);
    connect(&interruptWatch_, &QTimer::timeout, this, [this] {
        if (const int signal = interrupted.load(); signal != 0 && stopSignal_ == 0) {
            Stop(signal);
        }
    });
}

void CommandRun::Start() {
    interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    interruptWatch_.start();
    QTimer::singleShot(0, this, [this] { Guarded([this] { Run(); }); });
}

void CommandRun::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        Finish(kExitDevice, std::string("Project1: ") + error.what());
    }
}

void CommandRun::Run() {
    if (options_.command == "read") {
        RunRead();
    } else if (options_.command == "write") {
        RunWrite();
    } else if (options_.command == "password") {
        RunPassword();
    } else if (options_.command == "compare") {
        RunCompare();
    } else if (options_.command == "show") {
        RunShow();
    } else if (options_.command == "check") {
        RunCheck();
    } else if (options_.command == "ports") {
        RunPorts();
    } else {
        RunConvert();
    }
}

std::string CommandRun::ChosenPort() {
    if (options_.port) {
        return *options_.port;
    }
    std::string port;
    try {
        port = RememberedPortName();
    } catch (const std::exception& error) {
        Finish(kExitDevice,
               std::string("Project1: the port choice cannot be read: ") + error.what());
        return {};
    }
    if (port.empty()) {
        Finish(kExitUsage, "Project1: no port is chosen: give --port NAME");
    }
    return port;
}

void CommandRun::OnPort(const std::function<void()>& start) {
    if ((port_ = ChosenPort()).empty()) {
        return;
    }
    if (port_ != kAutoPort) {
        session_.SetPortName(port_);
        start();
        return;
    }
    progress_.Show("looking for the relay on COM1 to COM15");
    probe_ = std::make_unique<PortProbe>(this);
    connect(probe_.get(), &PortProbe::finished, this,
            [this, start](const std::vector<ProbeResult>& results) {
                Guarded([&] { OnProbed(results, start); });
            });
    std::vector<std::string> names;
    for (int number = 1; number <= kPortNameCount; ++number) {
        names.push_back("COM" + std::to_string(number));
    }
    probe_->Start(names);
}

void CommandRun::OnProbed(const std::vector<ProbeResult>& results,
                          const std::function<void()>& start) {
    std::vector<std::string> answered;
    std::string tried;
    int nothing = 0;
    for (const ProbeResult& result : results) {
        if (result.outcome == ProbeResult::Outcome::Answered) {
            answered.push_back(result.name);
        }
        if (result.outcome == ProbeResult::Outcome::Missing) {
            ++nothing;
        } else {
            tried += (tried.empty() ? "" : ", ") + result.name + " " + ProbeOutcome(result);
        }
    }
    if (answered.size() == 1) {
        port_ = answered.front();
        session_.SetPortName(port_);
        start();
        return;
    }
    std::string line = answered.empty() ? "no relay answered"
                                        : "relays answered on " + std::to_string(answered.size()) +
                                              " ports; give --port NAME";
    line += " (" + (tried.empty() ? std::string("no port could be asked") : tried) + "; " +
            std::to_string(nothing) + " names lead to no device)";
    Finish(kExitDevice, "Project1: --port auto: " + line);
}

void CommandRun::RunRead() {
    const std::string& file = options_.arguments[0];
    if (!CheckTarget(file)) {
        return;
    }
    OnPort([this] {
        progress_.Show("reading from " + port_);
        session_.Read();
    });
}

void CommandRun::RunWrite() {
    const std::string& file = options_.arguments[0];
    const bool settingsGiven = options_.timeoutMs && options_.externalDisconnect;
    if (IsCsvFile(file) && !settingsGiven) {
        FailNoSettings(file);
        return;
    }
    if (!LoadSource(file)) {
        return;
    }
    if (sourceLacksSettings_ && !settingsGiven) {
        FailNoSettings(file);
        return;
    }
    if (values_.FilledSlots() == 0 && !options_.allowEmpty) {
        Finish(kExitUsage, "Project1: " + file +
                               " holds no numbers: writing it empties the device; give "
                               "--allow-empty to do that");
        return;
    }
    ApplySettingOptions();
    OnPort([this] {
        progress_.Show("writing to " + port_);
        session_.Write();
    });
}

void CommandRun::RunCompare() {
    if (!LoadSource(options_.arguments[0])) {
        return;
    }
    RunShow();
}

void CommandRun::RunShow() {
    OnPort([this] {
        progress_.Show("reading from " + port_);
        session_.ReadCopy();
    });
}

void CommandRun::RunPorts() {
    std::string error;
    if (options_.link) {
        if (!LinkPortName(options_.link->name, options_.link->device, error)) {
            Finish(kExitDevice, "Project1: " + options_.link->name + ": " + error);
            return;
        }
        Finish(kExitDone, DescribePort(SurveyPortNamed(options_.link->name)));
        return;
    }
    if (options_.unlink) {
        if (!UnlinkPortName(*options_.unlink, error)) {
            Finish(kExitDevice, "Project1: " + *options_.unlink + ": " + error);
            return;
        }
        Finish(kExitDone, DescribePort(SurveyPortNamed(*options_.unlink)));
        return;
    }
    const std::vector<PortFacts> ports = SurveyPorts();
    if (options_.json) {
        PrintResult(PortsJson(ports));
    } else {
        std::string lines;
        for (const PortFacts& facts : ports) {
            lines += (lines.empty() ? "" : "\n") + DescribePort(facts);
        }
        PrintResult(lines);
    }
    Finish(kExitDone, {});
}

void CommandRun::RunCheck() {
    const std::string& file = options_.arguments[0];
    if (!LoadSource(file)) {
        return;
    }
    ApplySettingOptions();
    const bool settingsGiven = options_.timeoutMs && options_.externalDisconnect;
    const CheckFindings findings{Shown(file, true), Summarise(values_), CheckWriteValues(values_),
                                 (IsCsvFile(file) || sourceLacksSettings_) && !settingsGiven};
    if (options_.json) {
        PrintResult(CheckJson(findings));
    }
    if (findings.check.Passed()) {
        Finish(kExitDone, CheckLine(findings));
        return;
    }
    std::string reason = findings.check.Text();
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    FailFile(file, reason, true);
}

void CommandRun::Compare() {
    const std::string& file = options_.arguments[0];
    const auto differences = CompareConfigs(session_.DeviceCopy(), values_);
    if (options_.json) {
        PrintResult(CompareJson(port_, Shown(file, true), differences));
    }
    const std::string opening = (options_.verify ? WroteLine() + " Read back, the device on "
                                                 : std::string("The device on ")) +
                                port_;
    if (differences.empty()) {
        Finish(kExitDone, opening + " holds what " + file + " holds.");
        return;
    }
    progress_.End();
    if (!options_.quiet && !options_.json) {
        for (const ConfigDifference& difference : differences) {
            std::fprintf(out_, "%s\n", DescribeDifference(difference).c_str());
        }
    }
    Finish(kExitDiffer,
           opening + " differs from " + file + ": " + DescribeComparison(differences) + ".");
}

void CommandRun::RunPassword() {
    OnPort([this] {
        if (options_.arguments.empty()) {
            // The reply fills the password in: nothing else may stand for it.
            values_.SetPasswordText(std::string());
            session_.GetPassword();
        } else {
            values_.SetPasswordText(options_.arguments[0]);
            session_.SetPassword();
        }
    });
}

void CommandRun::PrintResult(const std::string& text) {
    progress_.End();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
    resultPrinted_ = true;
}

void CommandRun::RunConvert() {
    const std::string& in = options_.arguments[0];
    const std::string& out = options_.arguments[1];
    // Numbers from a CSV file go into the settings file that is there, keeping its relay
    // settings.
    if (IsCsvName(in) && !IsCsvName(out) && PathExists(out) && !LoadSource(out)) {
        return;
    }
    if (!LoadSource(in)) {
        return;
    }
    ApplySettingOptions();
    targetExisted_ = PathExists(out);
    if (SaveTarget(out)) {
        if (IsCsvFile(out)) {
            Warn(out, UnimportableTexts(values_), false);
        }
        Finish(kExitDone, "Converted " + Numbers(values_.FilledSlots()) + " from " +
                              Shown(in, true) + " into " + Shown(out, false) + ".");
    }
}

bool CommandRun::LoadSource(const std::string& path) {
    return LoadInto(path, values_);
}

void CommandRun::FailNoSettings(const std::string& file) {
    Finish(kExitUsage, "Project1: " + file +
                           " holds no relay settings: give --timeout MS and "
                           "--external-disconnect on|off");
}

bool CommandRun::LoadInto(const std::string& path, ConfigValues& values) {
    try {
        if (IsStandardStream(path)) {
            MakeBinary(stdin);
            ImportPhoneCsv(ReadAll(stdin), values);
            return true;
        }
        const LoadNotes notes = session_.Files().Load(path, values);
        if (&values == &values_) {
            sourceLacksSettings_ = notes.noRelaySettings;
        }
        std::vector<std::string> warnings = DescribeLoadNotes(notes);
        // Texts that cannot go to the device: a write refuses them itself, and an export to
        // CSV names each one.
        const std::string odd = CheckWriteValues(values).SlotsText();
        const bool intoCsv = options_.command == "convert" && IsCsvFile(options_.arguments[1]);
        const bool refusedLater = options_.command == "write" || options_.command == "check";
        if (!odd.empty() && !refusedLater && !intoCsv) {
            std::string text = odd;
            text.pop_back();  // the full stop
            warnings.push_back(text);
        }
        Warn(path, warnings, true);
        return true;
    } catch (const std::exception& error) {
        FailFile(path, ReasonFor(path, error.what()), true);
        return false;
    }
}

void CommandRun::ApplySettingOptions() {
    if (options_.timeoutMs) {
        values_.SetTimeoutText(std::to_string(*options_.timeoutMs));
    }
    if (options_.externalDisconnect) {
        values_.SetExternalDisconnect(*options_.externalDisconnect);
    }
}

bool CommandRun::CheckTarget(const std::string& path) {
    if (IsStandardStream(path)) {
        return true;
    }
    targetExisted_ = PathExists(path);
    try {
        session_.Files().CheckSaveTarget(path);
        if (targetExisted_ && !IsCsvName(path)) {
            // Its contents as seen now: the save after the read leaves it alone if another
            // program changes it meanwhile.
            ConfigRecord scratch;
            session_.Files().Load(path, scratch);
        }
        return true;
    } catch (const std::exception& error) {
        FailFile(path, ReasonFor(path, error.what()));
        return false;
    }
}

bool CommandRun::SaveTarget(const std::string& path) {
    if (IsStandardStream(path)) {
        // The CSV is the output; the result line goes to standard error beside the progress.
        MakeBinary(out_);
        const std::string csv = ExportPhoneCsv(values_);
        std::fwrite(csv.data(), 1, csv.size(), out_);
        if (std::fflush(out_) != 0) {
            FailFile(path, "standard output could not be written");
            return false;
        }
        resultPrinted_ = true;
        return true;
    }
    const bool fromTemplate = !targetExisted_ && !IsCsvName(path);
    try {
        if (fromTemplate) {
            SessionFiles::CopyTemplate(path);
        }
    } catch (const std::exception& error) {
        FailFile(path, ReasonFor(path, error.what()));
        return false;
    }
    try {
        // The command line has no other file to offer: a refusal ends the run as any failure
        // of the save does.
        session_.Files().Save(
            path, values_,
            [](const FileRefused& refused) -> std::optional<std::string> { throw refused; });
        return true;
    } catch (const std::exception& error) {
        if (fromTemplate) {
            RemoveFile(path);
        }
        FailFile(path, ReasonFor(path, error.what()));
        return false;
    }
}

void CommandRun::OnProgress(TransferKind kind, int done, int total) {
    if (kind == TransferKind::Read) {
        progress_.Show("number " + std::to_string(done) + " of " + std::to_string(total));
    } else if (kind == TransferKind::Write) {
        progress_.Show("slot " + std::to_string(done) + " of " + std::to_string(total));
    }
}

void CommandRun::OnFinished(TransferKind kind) {
    switch (kind) {
        case TransferKind::Read: {
            if (session_.ReadingCopy()) {
                options_.command == "show" ? Show() : Compare();
                break;
            }
            const std::string& file = options_.arguments[0];
            if (SaveTarget(file)) {
                Finish(kExitDone, "Read " + Numbers(values_.FilledSlots()) + " from " + port_ +
                                      " into " + Shown(file, false) + ".");
            }
            break;
        }
        case TransferKind::Write:
            if (options_.verify) {
                progress_.Show("reading back from " + port_);
                session_.ReadCopy();
                break;
            }
            Finish(kExitDone, WroteLine());
            break;
        case TransferKind::GetPassword:
            Finish(kExitDone, values_.PasswordText());
            break;
        case TransferKind::SetPassword:
            Finish(kExitDone, "The password of the device on " + port_ + " is set.");
            break;
    }
}

std::string CommandRun::WroteLine() const {
    return "Wrote " + Numbers(values_.FilledSlots()) + " from " +
           Shown(options_.arguments[0], true) + " to " + port_ + ".";
}

void CommandRun::Show() {
    const ConfigSummary held = Summarise(session_.DeviceCopy());
    if (options_.json) {
        PrintResult(ShowJson(port_, held));
    }
    Finish(kExitDone, ShowLine(port_, held));
}

void CommandRun::OnFailed(TransferKind kind, const SessionFailure& failure) {
    if (failure.kind == FailureKind::InvalidValues && kind == TransferKind::Write) {
        std::string reason = failure.reason;
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        FailFile(options_.arguments[0], reason, true);
        return;
    }
    std::string reason = failure.reason;
    if (kind == TransferKind::Read && options_.command == "read") {
        reason += ": nothing was saved into " + Shown(options_.arguments[0], false);
    } else if (kind == TransferKind::Read && options_.verify) {
        reason = "the write is done, but reading it back failed: " + reason;
    }
    const std::string port = failure.port.empty() ? port_ : failure.port;
    Finish(kExitDevice, "Project1: " + port + ": " + reason);
}

void CommandRun::Stop(int signal) {
    stopSignal_ = signal;
    if (session_.Busy()) {
        session_.Cancel();
    } else {
        Finish(kExitDevice, "Project1: stopped");
    }
}

void CommandRun::Warn(const std::string& path, const std::vector<std::string>& sentences,
                      bool input) {
    const std::string shown = Shown(path, input);
    for (const std::string& sentence : sentences) {
        std::fprintf(err_, "Project1: %s: %s\n", shown.c_str(), sentence.c_str());
    }
    std::fflush(err_);
}

void CommandRun::FailFile(const std::string& path, const std::string& reason, bool input) {
    Finish(kExitFile, "Project1: " + Shown(path, input) + ": " + reason);
}

void CommandRun::Finish(int status, const std::string& line) {
    if (finished_) {
        return;
    }
    finished_ = true;
    status_ = status;
    interruptWatch_.stop();
    session_.Cancel();
    progress_.End();
    // A comparison's differences are its result, not a failure. Where standard output
    // carries the result already (CSV or JSON), the line goes beside the progress.
    const bool result = status == kExitDone || status == kExitDiffer;
    if (line.empty()) {
        // said already
    } else if (!result) {
        std::fprintf(err_, "%s\n", line.c_str());
    } else if (options_.quiet && options_.command != "password") {
        // nothing but failures
    } else if (!resultPrinted_) {
        std::fprintf(out_, "%s\n", line.c_str());
    } else if (!options_.json) {
        std::fprintf(err_, "%s\n", line.c_str());
    }
    std::fflush(out_);
    std::fflush(err_);
    const int drain = port_.empty() ? 0 : kDrainMs;
    QTimer::singleShot(drain, [status, signal = stopSignal_] {
        if (signal != 0) {
            EndBySignal(signal);
        }
        QCoreApplication::exit(status);
    });
}

int RunCommandLine(int argc, char** argv, const ProgramArguments& arguments) {
    UseParentConsole();
    CommandOptions options;
    try {
        options = ParseCommandOptions(arguments.Count(), arguments.Values());
    } catch (const UsageError& error) {
        std::fprintf(stderr, "Project1: %s\nTry Project1 --help.\n", error.what());
        return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    CommandRun run(std::move(options), stdout, stderr, IsTerminal(2));
    run.Start();
    return app.exec();
}

}  // namespace varnix
