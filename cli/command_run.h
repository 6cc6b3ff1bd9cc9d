// One command-line run on a device session: read, write, password or convert, to its
// end. Progress goes to standard error, the result to standard output, and every failure
// to standard error as one line naming the port or the file and the reason.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "command_options.h"
#include "config_values.h"
#include "device_session.h"
#include "port_probe.h"
#include "program_arguments.h"
#include "progress_line.h"

namespace varnix {

class CommandRun : public QObject {
    Q_OBJECT
  public:
    CommandRun(CommandOptions options, std::FILE* out, std::FILE* err, bool terminal);

    // Runs the command from the event loop, which is told to exit with the status at the
    // end.
    void Start();
    int Status() const { return status_; }

  private:
    void Run();
    void RunRead();
    void RunWrite();
    void RunPassword();
    void RunConvert();
    void RunCompare();
    void RunShow();
    // Lists the port names, or links or unlinks one.
    void RunPorts();
    // Runs `start` on the port to use; with --port auto once the probe has found the one
    // port where a relay answers, else the run ends listing what was tried.
    void OnPort(const std::function<void()>& start);
    void OnProbed(const std::vector<ProbeResult>& results, const std::function<void()>& start);
    // Loads the file and runs the write's check on it; nothing is sent.
    void RunCheck();
    // Prints what show found in the device's copy just read, and ends the run.
    void Show();
    // The result for scripts (JSON), on standard output before the run ends.
    void PrintResult(const std::string& text);
    // Compares the device's copy just read with the file's values and ends the run: status
    // 0 when they agree, else each difference on its own line and status 4.
    void Compare();
    std::string WroteLine() const;
    // Runs a step of the run; an error ends it as a device failure.
    void Guarded(const std::function<void()>& body);
    // Reads `path` into the values; false when it failed (said and finished).
    bool LoadSource(const std::string& path);
    bool LoadInto(const std::string& path, ConfigValues& values);
    void ApplySettingOptions();
    // A write needs the relay settings from its file or from the options.
    void FailNoSettings(const std::string& file);
    // Checks before a read that its file can take the result, so that a long read is not
    // wasted on it; false when it cannot (said and finished).
    bool CheckTarget(const std::string& path);
    // Saves the values into `path`, in place or as a new file from the template; false when
    // it failed (said and finished).
    bool SaveTarget(const std::string& path);
    // The port to use: the one given, else the remembered choice; empty when there is none
    // (said and finished).
    std::string ChosenPort();

    void OnProgress(TransferKind kind, int done, int total);
    void OnFinished(TransferKind kind);
    void OnFailed(TransferKind kind, const SessionFailure& failure);
    // Stops the run on a signal: what a transfer leaves is said, and the process then ends
    // by the signal.
    void Stop(int signal);

    // Ends the run: the line goes to standard output when the run is done, else to
    // standard error. A device run first lets the last frames go out.
    void Finish(int status, const std::string& line);
    // `input`: the file is read from, which names "-" standard input rather than output.
    void FailFile(const std::string& path, const std::string& reason, bool input = false);

    CommandOptions options_;
    std::FILE* out_;
    std::FILE* err_;
    ProgressLine progress_;
    ConfigRecord values_;
    DeviceSession session_;
    QTimer interruptWatch_;
    std::unique_ptr<PortProbe> probe_;
    std::string port_;
    // The read's file is a settings file that was there: it is saved in place.
    bool targetExisted_ = false;
    // The file last loaded into the values has no relay settings.
    bool sourceLacksSettings_ = false;
    bool finished_ = false;
    // Standard output carries the result (CSV or JSON): the result line goes elsewhere.
    bool resultPrinted_ = false;
    // The signal that stopped the run, 0 when none did.
    int stopSignal_ = 0;
    int status_ = kExitDone;

    // One line on standard error for each sentence about the file; the run goes on.
    void Warn(const std::string& path, const std::vector<std::string>& sentences, bool input);
};

// Runs the command line in `arguments` without any window and returns the exit status;
// `argc` and `argv`, as main() had them, go to Qt.
int RunCommandLine(int argc, char** argv, const ProgramArguments& arguments);

}  // namespace varnix
