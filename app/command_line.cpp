#include "command_line.h"

#include <string_view>

#include "windows_directory.h"

namespace varnix {

namespace {

constexpr char kUsage[] =
    "Usage: Project1 [--help | --version] [Qt options such as -platform NAME]\n"
    "\n"
    "Varnix, the configuration utility for the ZUR relay switch: edits the device's phone\n"
    "numbers, relay time-out, external disconnection flag and password, reads and writes\n"
    "them over a serial line, and keeps them in settings files (*.mdb).\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";

}  // namespace

std::optional<int> RunCommandLineOptions(int argc, const char* const* argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--version") {
            std::fprintf(out, "Project1 (Varnix) %s\n", VARNIX_VERSION);
            return 0;
        }
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, out);
            std::fprintf(out, "\nNew settings files are copied from %s\n", TemplatePath().c_str());
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace varnix
