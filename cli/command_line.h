// The program's own options, handled before anything else: --version and --help print
// and end the program, as desktop programs do on Linux. The commands are run by
// command_run.h; every other argument is left to Qt.
#pragma once

#include <cstdio>
#include <optional>

namespace varnix {

// The exit status when an option asks to end at once (its text already printed to `out`);
// nothing when the program should start its window.
std::optional<int> RunCommandLineOptions(int argc, const char* const* argv, std::FILE* out);

}  // namespace varnix
