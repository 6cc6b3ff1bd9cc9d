// The program's figures under Wine (scripts/windows/bench), taken from the package folder
// with the DLLs and platform plugin Project1.exe uses, against the relay device on COM1:
//   start RUNS   process start to main window shown, each start a new process
//   write RUNS   500 numbers, click on "Write To Device" to "Write data complete..."
//   read RUNS    a full device, click on "Load From Device" to "Receiving completed."
// Prints one row of the benchmark table per figure.
#include <QProcess>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "application.h"
#include "bench_figures.h"
#include "main_window.h"
#include "port_setup_dialog.h"

namespace {

using namespace varnix;
using namespace varnix::bench;

// The program's windows as main() makes them, with COM1 as the port.
struct ProgramWindows {
    TForm1 form1;
    TForm2 form2{&form1, form1.Report(), form1.Session()};
    ProgramWindows() {
        form1.SetPortDialog(&form2);
        form1.Boxes().SetAnswerer([](const MessageRequest& r) {
            std::fprintf(stderr, "unexpected message: %s\n", r.text.c_str());
            return MessageResult::Ok;
        });
        form1.show();
    }
};

bool Exposed(QWidget& widget) {
    return widget.windowHandle() != nullptr && widget.windowHandle()->isExposed();
}

// The child of a start: shows the window and says so on its output.
int StartChild() {
    ProgramWindows windows;
    if (!RunLoopUntil([&] { return Exposed(windows.form1); }, 60000)) {
        return 1;
    }
    std::fputc('S', stdout);
    std::fflush(stdout);
    return 0;
}

double OneStart(const QString& self) {
    QProcess child;
    const auto start = Clock::now();
    child.start(self, {"--start-child"});
    const bool shown = child.waitForReadyRead(60000) && child.read(1) == "S";
    const double ms = Ms(Clock::now() - start);
    child.waitForFinished(60000);
    return shown ? ms : -1;
}

// Clicks and waits for the status; the time from click to status, in ms.
double Transfer(ProgramWindows& windows, QPushButton* button, const std::string& status) {
    TForm1& form = windows.form1;
    form.StatusPanel->SetText("");
    const auto start = Clock::now();
    button->click();
    const std::string failure = "Connection failure,Please try again.";
    RunLoopUntil([&] { return form.StatusText() == status || form.StatusText() == failure; },
                 300000);
    if (form.StatusText() != status) {
        std::fprintf(stderr, "no \"%s\" (status \"%s\")\n", status.c_str(),
                     form.StatusText().c_str());
        std::exit(1);
    }
    return Ms(Clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    Application app(argc, argv);
    if (mode == "--start-child") {
        return StartChild();
    }
    Figure figure;
    if (mode == "start") {
        for (int i = 0; i < runs; ++i) {
            const double ms = OneStart(QCoreApplication::applicationFilePath());
            if (ms < 0) {
                std::fprintf(stderr, "a start never showed its window\n");
                return 1;
            }
            figure.runs.push_back(ms);
        }
        Row("Process start to main window shown (Wine)", figure, "ms", "-");
    } else if (mode == "write") {
        ProgramWindows windows;
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            windows.form1.StringGrid1->SetCell(1, slot,
                                               QString("+36123%1").arg(slot, 6, 10, QChar('0')));
        }
        for (int i = 0; i < runs; ++i) {
            figure.runs.push_back(
                Transfer(windows, windows.form1.BitBtn4, "Write data complete...") / 1000);
        }
        Row("Write 500 numbers, click to \"Write data complete...\" (Wine)", figure, "s",
            "103 ticks = 51.5 s");
    } else if (mode == "read") {
        ProgramWindows windows;
        for (int i = 0; i < runs; ++i) {
            figure.runs.push_back(Transfer(windows, windows.form1.BitBtn3, "Receiving completed.") /
                                  1000);
            if (windows.form1.StringGrid1->Cell(1, kSlotCount).isEmpty()) {
                std::fprintf(stderr, "the read did not fill slot %d\n", kSlotCount);
                return 1;
            }
        }
        Row("Read 500 numbers (15 a reply, 9600 baud), click to \"Receiving completed.\" (Wine)",
            figure, "s", "-");
    } else {
        std::fprintf(stderr, "usage: program_bench_win32 start|write|read [RUNS]\n");
        return 2;
    }
    return 0;
}
