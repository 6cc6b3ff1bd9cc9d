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

struct CommandOptions {
    std::string command;  // "read", "write", "compare", "password" or "convert"
    std::vector<std::string> arguments;
    std::optional<std::string> port;
    std::optional<int> timeoutMs;
    std::optional<bool> externalDisconnect;
    bool quiet = false;
    bool verify = false;      // write: read the device back and compare
    bool allowEmpty = false;  // write: a file without numbers may empty the device
};

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

// "COM1" to "COM15" (in any case, given back in capitals), or on Linux a device path;
// throws UsageError otherwise.
std::string CheckedPortName(const std::string& name);

}  // namespace varnix
