#include "command_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "decimal_number.h"
#include "device_values.h"
#include "file_open.h"
#include "port_names.h"

namespace varnix {

namespace {

constexpr std::array<std::string_view, 8> kCommands = {"read",  "write",    "compare", "show",
                                                       "check", "password", "convert", "ports"};
// The command line's own options. Qt's options also start with a single "-", but none of
// them is one of our short ones.
constexpr std::array<std::string_view, 9> kOptions = {
    "--port",  "--timeout", "--external-disconnect",
    "--quiet", "--verify",  "--allow-empty",
    "--json",  "--link",    "--unlink"};
constexpr std::array<std::string_view, 2> kShortOptions = {"-p", "-q"};

bool IsShortOption(std::string_view word) {
    return std::find(kShortOptions.begin(), kShortOptions.end(), word) != kShortOptions.end();
}

// A word meant as a file's name rather than a command: one with a folder or an extension.
bool LooksLikeFile(std::string_view word) {
    return word.find_first_of("./\\") != std::string_view::npos;
}

bool IsCommand(std::string_view word) {
    return std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end();
}

// "--name=value" or "--name" followed by the value.
bool TakeOption(std::string_view name, int argc, const char* const* argv, int& i,
                std::optional<std::string>& value) {
    const std::string_view word = argv[i];
    if (word == name) {
        if (i + 1 >= argc) {
            throw UsageError(std::string(name) + " needs a value");
        }
        value = argv[++i];
        return true;
    }
    if (word.size() > name.size() && word.substr(0, name.size()) == name &&
        word[name.size()] == '=') {
        value = std::string(word.substr(name.size() + 1));
        return true;
    }
    return false;
}

int CheckedTimeout(const std::string& text) {
    std::int32_t value = 0;
    if (!ParseDecimalInt32(text, value) || value < 0 || value > kTimeoutMaxMs) {
        throw UsageError("--timeout takes the relay time-out in milliseconds, 0 to " +
                         std::to_string(kTimeoutMaxMs) + ", not \"" + text + "\"");
    }
    return value;
}

bool CheckedFlag(const std::string& text) {
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    throw UsageError("--external-disconnect takes on or off, not \"" + text + "\"");
}

void CheckArguments(const CommandOptions& options) {
    const std::size_t count = options.arguments.size();
    const std::string& command = options.command;
    const bool oneFile =
        command == "read" || command == "write" || command == "compare" || command == "check";
    if (oneFile && count != 1) {
        throw UsageError(command + " takes one file: Project1 " + command + " FILE");
    }
    if ((command == "show" || command == "ports") && count != 0) {
        throw UsageError(command + " takes no file");
    }
    if (command == "convert" && count != 2) {
        throw UsageError("convert takes two files: Project1 convert IN OUT");
    }
    if (command == "password" && count > 1) {
        throw UsageError("password takes at most one password: Project1 password [NNNN]");
    }
    if (command == "password" && count == 1) {
        const std::string& password = options.arguments[0];
        if (password.size() != kPasswordLength ||
            !std::all_of(password.begin(), password.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            throw UsageError("the password is four digits, not \"" + password + "\"");
        }
    }
    const bool settings = options.timeoutMs || options.externalDisconnect;
    if (settings && command != "write" && command != "convert" && command != "check") {
        throw UsageError("--timeout and --external-disconnect go with write, convert and check");
    }
    if (options.port && (command == "convert" || command == "check" || command == "ports")) {
        throw UsageError(command + " does not use a port");
    }
    if (options.json && command != "ports" && command != "show" && command != "check" &&
        command != "compare") {
        throw UsageError("--json goes with ports, show, check and compare");
    }
    if ((options.link || options.unlink) && command != "ports") {
        throw UsageError(std::string(options.link ? "--link" : "--unlink") + " goes with ports");
    }
    if (options.link && options.unlink) {
        throw UsageError("--link and --unlink go one at a time");
    }
    if (options.port == kAutoPort && command == "password" && count == 1) {
        throw UsageError("a password is set on a port named, not on --port auto");
    }
    if ((options.verify || options.allowEmpty) && command != "write") {
        throw UsageError(std::string(options.verify ? "--verify" : "--allow-empty") +
                         " goes with write");
    }
}

}  // namespace

std::optional<std::string> FileToOpen(int argc, const char* const* argv) {
    std::optional<std::string> file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.substr(0, 2) == "--") {
            return std::nullopt;
        }
        if (IsShortOption(word)) {
            return std::nullopt;
        }
        if (word.size() > 1 && word[0] == '-') {
            ++i;
        } else if (file || IsCommand(word)) {
            return std::nullopt;
        } else {
            file = word;
        }
    }
    return file && IsExistingFile(*file) ? file : std::nullopt;
}

bool NamesCommand(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.substr(0, 2) == "--") {
            for (std::string_view option : kOptions) {
                if (word.substr(0, option.size()) == option) {
                    return true;
                }
            }
        } else if (IsShortOption(word) || word == "-") {
            return true;
        } else if (word.size() > 1 && word[0] == '-') {
            ++i;  // a Qt option such as -platform, and its value
        } else {
            return true;  // a command, or a mistyped one
        }
    }
    return false;
}

CommandOptions ParseCommandOptions(int argc, const char* const* argv) {
    CommandOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        std::optional<std::string> value;
        if (TakeOption("--port", argc, argv, i, value) || TakeOption("-p", argc, argv, i, value)) {
            options.port = CheckedPortName(*value);
        } else if (TakeOption("--timeout", argc, argv, i, value)) {
            options.timeoutMs = CheckedTimeout(*value);
        } else if (TakeOption("--external-disconnect", argc, argv, i, value)) {
            options.externalDisconnect = CheckedFlag(*value);
        } else if (word == "--quiet" || word == "-q") {
            options.quiet = true;
        } else if (word == "--json") {
            options.json = true;
        } else if (word == "--link") {
            if (i + 2 >= argc) {
                throw UsageError("--link needs a port name and a device: --link COM3 DEVICE");
            }
            options.link = {CheckedComName(argv[i + 1]), argv[i + 2]};
            i += 2;
        } else if (TakeOption("--unlink", argc, argv, i, value)) {
            options.unlink = CheckedComName(*value);
        } else if (word == "--verify") {
            options.verify = true;
        } else if (word == "--allow-empty") {
            options.allowEmpty = true;
        } else if (word == "--") {
            for (++i; i < argc; ++i) {
                options.arguments.emplace_back(argv[i]);
            }
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError("unknown option " + std::string(word));
        } else if (word == "-" && options.command.empty()) {
            throw UsageError("- stands for standard input or output after a command");
        } else if (options.command.empty()) {
            if (!IsCommand(word)) {
                throw UsageError(LooksLikeFile(word) ? std::string(word) + ": no such file"
                                                     : "unknown command " + std::string(word));
            }
            options.command = word;
        } else {
            options.arguments.emplace_back(word);
        }
    }
    if (options.command.empty()) {
        throw UsageError(
            "no command: give read, write, compare, show, check, password, convert or ports");
    }
    CheckArguments(options);
    return options;
}

std::string CheckedPortName(const std::string& name) {
    if (name == kAutoPort) {
        return name;
    }
    return CheckedComName(name);
}

std::string CheckedComName(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::int32_t number = 0;
    if (upper.size() > 3 && upper.compare(0, 3, "COM") == 0 &&
        upper.find_first_not_of("0123456789", 3) == std::string::npos &&
        ParseDecimalInt32(upper.substr(3), number) && number >= 1 && number <= 15) {
        return "COM" + std::to_string(number);
    }
    if (IsDevicePathName(name)) {
        return name;
    }
    throw UsageError("a port is COM1 to COM15" +
                     std::string(IsDevicePathName("/") ? " or a device path" : "") + ", not \"" +
                     name + "\"");
}

}  // namespace varnix
