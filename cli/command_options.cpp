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

constexpr std::array<std::string_view, 5> kCommands = {"read", "write", "password", "convert",
                                                       "compare"};
// The command line's own options; Qt's options start with a single "-".
constexpr std::array<std::string_view, 6> kOptions = {
    "--port", "--timeout", "--external-disconnect", "--quiet", "--verify", "--allow-empty"};

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
    if ((command == "read" || command == "write" || command == "compare") && count != 1) {
        throw UsageError(command + " takes one file: Project1 " + command + " FILE");
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
    if (settings && command != "write" && command != "convert") {
        throw UsageError("--timeout and --external-disconnect go with write and convert");
    }
    if (options.port && command == "convert") {
        throw UsageError("convert does not use a port");
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
        if (TakeOption("--port", argc, argv, i, value)) {
            options.port = CheckedPortName(*value);
        } else if (TakeOption("--timeout", argc, argv, i, value)) {
            options.timeoutMs = CheckedTimeout(*value);
        } else if (TakeOption("--external-disconnect", argc, argv, i, value)) {
            options.externalDisconnect = CheckedFlag(*value);
        } else if (word == "--quiet") {
            options.quiet = true;
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
        throw UsageError("no command: give read, write, compare, password or convert");
    }
    CheckArguments(options);
    return options;
}

std::string CheckedPortName(const std::string& name) {
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
    throw UsageError("--port takes COM1 to COM15" +
                     std::string(IsDevicePathName("/") ? " or a device path" : "") + ", not \"" +
                     name + "\"");
}

}  // namespace varnix
