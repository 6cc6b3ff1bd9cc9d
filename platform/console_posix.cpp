#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string_view>

#include "console.h"

namespace varnix {

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

void UseParentConsole() {}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

void MakeBinary(std::FILE*) {}

bool HasDisplay(int argc, const char* const* argv) {
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "-platform" || word == "--platform" || word.starts_with("-platform=")) {
            return true;
        }
    }
    return false;
}

void EndBySignal(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);  // the signal was blocked
}

}  // namespace varnix
