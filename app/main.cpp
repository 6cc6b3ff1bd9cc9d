// Project1: the configuration utility for the ZUR relay switch.
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "application.h"
#include "command_line.h"
#include "command_options.h"
#include "command_run.h"
#include "console.h"
#include "main_window.h"
#include "port_setup_dialog.h"
#include "program_arguments.h"

int main(int argc, char** argv) {
    if (const auto status = varnix::RunCommandLineOptions(argc, argv, stdout)) {
        return *status;
    }
    const varnix::ProgramArguments arguments(argc, argv);
    const auto file = varnix::FileToOpen(arguments.Count(), arguments.Values());
    // A command runs without any window, so it needs no display.
    if (!file && varnix::NamesCommand(arguments.Count(), arguments.Values())) {
        return varnix::RunCommandLine(argc, argv, arguments);
    }
    if (!varnix::HasDisplay(argc, argv)) {
        std::fprintf(stderr,
                     "Project1: no display to show the window on; the commands run without "
                     "one: see Project1 --help\n");
        return varnix::kExitUsage;
    }
    varnix::Application app(argc, argv);
    varnix::TForm1 form1;
    app.SetErrorReport(&form1.Report());
    varnix::TForm2 form2(&form1, form1.Report(), form1.Session());
    form1.SetPortDialog(&form2);
    form1.show();
    if (file) {
        const QString path = QFileInfo(QString::fromStdString(*file)).absoluteFilePath();
        QTimer::singleShot(0, &form1,
                           [&form1, path] { form1.OpenSettingsFile(path.toStdString()); });
    }
    return app.exec();
}
