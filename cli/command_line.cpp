#include "command_line.h"

#include <string_view>

#include "console.h"
#include "windows_directory.h"

namespace varnix {

namespace {

constexpr char kUsage[] =
    "Usage: Project1 [-h | -V] [Qt options such as -platform NAME] [FILE]\n"
    "       Project1 read FILE [-p NAME] [-q]\n"
    "       Project1 write FILE [-p NAME] [--timeout MS] [--external-disconnect on|off]\n"
    "                [--verify] [--allow-empty] [-q]\n"
    "       Project1 compare FILE [-p NAME] [--json] [-q]\n"
    "       Project1 show [-p NAME] [--json] [-q]\n"
    "       Project1 check FILE [--timeout MS] [--external-disconnect on|off] [--json] [-q]\n"
    "       Project1 password [NNNN] [-p NAME]\n"
    "       Project1 convert IN OUT [--timeout MS] [--external-disconnect on|off] [-q]\n"
    "       Project1 ports [--link COMn DEVICE | --unlink COMn] [--json]\n"
    "\n"
    "Varnix, the configuration utility for the ZUR relay switch: edits the device's phone\n"
    "numbers, relay time-out, external disconnection flag and password, reads and writes\n"
    "them over a serial line (9600 baud, 8N1), and keeps them in settings files (*.mdb).\n"
    "Without a command it opens its window, with FILE loaded when an existing file is given;\n"
    "with a command it runs that without any window and exits.\n"
    "\n"
    "Commands:\n"
    "  read FILE         read the device's configuration and save it into FILE\n"
    "  write FILE        load FILE and write it to the device\n"
    "  compare FILE      read the device and print where it differs from FILE\n"
    "  show              print what the device holds: relay settings, how many numbers\n"
    "  check FILE        tell whether FILE can be written to a device; nothing is sent\n"
    "  password          print the device's password\n"
    "  password NNNN     set the device's password to the four digits NNNN\n"
    "  convert IN OUT    convert between settings files and CSV files\n"
    "  ports             list COM1 to COM15: what each opens, whether it is there, busy or\n"
    "                    not permitted, and which one is chosen\n"
    "\n"
    "FILE is a settings file (.mdb: saved in place, or created from the template) or, when\n"
    "its name ends in .csv, a CSV file of the phone numbers (header slot,number). \"-\" is\n"
    "standard output for read and convert OUT, and standard input for write, check and\n"
    "convert IN, always as CSV.\n"
    "\n"
    "Options (before or after the arguments):\n"
    "  -p, --port NAME                the port: COM1 to COM15, a device path on Linux, or\n"
    "                                 auto (the one port where a relay answers); default the\n"
    "                                 one chosen in \"Configure Port...\"\n"
    "  --timeout MS                   the relay time-out, 0 to 59999 ms (needed to write a\n"
    "                                 CSV file, which holds no settings)\n"
    "  --external-disconnect on|off   the external disconnection flag (likewise)\n"
    "  --verify                       write: read the device back and compare it\n"
    "  --allow-empty                  write: let a file without numbers empty the device\n"
    "  --json                         ports, show, check, compare: one JSON object on\n"
    "                                 standard output\n"
    "  --link COMn DEVICE             ports: make COMn open DEVICE (Linux)\n"
    "  --unlink COMn                  ports: make COMn open its built-in port again\n"
    "  -q, --quiet                    no progress and no result line\n"
    "  -h, --help                     print this text and exit\n"
    "  -V, --version                  print the version and exit\n"
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
