// The command line's commands and options, as the user gave them.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnix {

// The exit status of a command-line run.
enum ExitStatus : int {
    kExitDone = 0,
    kExitDevice = 1,  // the port, the device or the transfer failed
    kExitUsage = 2,   // the command line itself is wrong
    kExitFile = 3,    // a file could not be read or written
    kExitDiffer = 4,  // the device and the file differ
};

// A command line that cannot be run; the text says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The port option's value that asks to find the port the relay answers on.
inline constexpr char kAutoPort[] = "auto";

// A port name tied to a device by `ports --link`.
struct PortLinkRequest {
    std::string name;
    std::string device;
};

struct CommandOptions {
    // "read", "write", "compare", "show", "check", "password", "convert" or "ports"
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> port;
    std::optional<int> timeoutMs;
    std::optional<bool> externalDisconnect;
    bool quiet = false;
    bool verify = false;                  // write: read the device back and compare
    bool allowEmpty = false;              // write: a file without numbers may empty the device
    bool json = false;                    // one JSON object on standard output instead of the lines
    std::optional<PortLinkRequest> link;  // ports --link COMn DEVICE
    std::optional<std::string> unlink;    // ports --unlink COMn
};

// "-" as a file: standard input for what is read, standard output for what is written;
// always CSV.
inline bool IsStandardStream(const std::string& path) {
    return path == "-";
}

// The file that the one argument names when it is an existing file, as a double-click on
// a settings file or a desktop's "Open with" gives it: the window opens with it loaded.
std::optional<std::string> FileToOpen(int argc, const char* const* argv);

// The arguments ask for a command rather than the window: one of them is a word (a
// command's name, or a mistyped one) or one of the command line's own options. Qt's own
// options start with a single "-" and may take the next argument as their value. A file
// to open (FileToOpen) is a word too: ask that first.
bool NamesCommand(int argc, const char* const* argv);

// Options may stand before, between or after the arguments. Throws UsageError.
CommandOptions ParseCommandOptions(int argc, const char* const* argv);

// "COM1" to "COM15" (in any case, given back in capitals), on Linux a device path, or
// kAutoPort; throws UsageError otherwise.
std::string CheckedPortName(const std::string& name);
// The same without kAutoPort.
std::string CheckedComName(const std::string& name);

}  // namespace varnix
