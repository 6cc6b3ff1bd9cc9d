#include "command_line.h"

#include <string_view>

#include "console.h"
#include "windows_directory.h"

namespace varnix {

namespace {

constexpr char kUsage[] =
    "Usage: Project1 [--help | --version] [Qt options such as -platform NAME] [FILE]\n"
    "       Project1 read FILE [--port NAME] [--quiet]\n"
    "       Project1 write FILE [--port NAME] [--timeout MS] [--external-disconnect on|off]\n"
    "                [--verify] [--allow-empty] [--quiet]\n"
    "       Project1 compare FILE [--port NAME] [--quiet]\n"
    "       Project1 password [NNNN] [--port NAME]\n"
    "       Project1 convert IN OUT [--timeout MS] [--external-disconnect on|off] [--quiet]\n"
    "\n"
    "Varnix, the configuration utility for the ZUR relay switch: edits the device's phone\n"
    "numbers, relay time-out, external disconnection flag and password, reads and writes\n"
    "them over a serial line, and keeps them in settings files (*.mdb). Without a command\n"
    "it opens its window, with FILE loaded when an existing file is given; with a command\n"
    "it runs that without any window and exits.\n"
    "\n"
    "Commands:\n"
    "  read FILE         read the device's configuration and save it into FILE\n"
    "  write FILE        load FILE and write it to the device\n"
    "  compare FILE      read the device and print where it differs from FILE\n"
    "  password          print the device's password\n"
    "  password NNNN     set the device's password to the four digits NNNN\n"
    "  convert IN OUT    convert between settings files and CSV files\n"
    "\n"
    "FILE is a settings file (.mdb: saved in place, or created from the template) or, when\n"
    "its name ends in .csv, a CSV file of the phone numbers (header slot,number).\n"
    "\n"
    "Options (before or after the arguments):\n"
    "  --port NAME                    the port: COM1 to COM15, or a device path on Linux;\n"
    "                                 default the one chosen in \"Configure Port...\"\n"
    "  --timeout MS                   the relay time-out, 0 to 59999 ms (needed to write a\n"
    "                                 CSV file, which holds no settings)\n"
    "  --external-disconnect on|off   the external disconnection flag (likewise)\n"
    "  --verify                       write: read the device back and compare it\n"
    "  --allow-empty                  write: let a file without numbers empty the device\n"
    "  --quiet                        no progress and no result line\n"
    "  --help                         print this text and exit\n"
    "  --version                      print the version and exit\n"
    "\n"
    "Before a write, the time-out must be 0 to 59999 in digits and every number digits\n"
    "and \"+\", at most 13: otherwise nothing is sent. Ctrl+C (or SIGTERM) stops a transfer\n"
    "and says what the device holds; the run then ends by that signal.\n"
    "\n"
    "Progress goes to standard error, the result to standard output.\n"
    "Exit status: 0 done, 1 port, device or transfer failure, 2 wrong usage, 3 file failure,\n"
    "4 the device and the file differ (compare, write --verify).\n";

}  // namespace

std::optional<int> RunCommandLineOptions(int argc, const char* const* argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--version" || option == "-V") {
            UseParentConsole();
            std::fprintf(out, "Project1 (Varnix) %s\n", VARNIX_VERSION);
            return 0;
        }
        if (option == "--help" || option == "-h") {
            UseParentConsole();
            std::fputs(kUsage, out);
            std::fprintf(out, "\nNew settings files are copied from %s\n", TemplatePath().c_str());
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace varnix
