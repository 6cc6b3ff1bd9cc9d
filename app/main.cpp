// Project1: the configuration utility for the ZUR relay switch.
#include "application.h"
#include "command_line.h"
#include "command_options.h"
#include "command_run.h"
#include "main_window.h"
#include "port_setup_dialog.h"

int main(int argc, char** argv) {
    if (const auto status = varnix::RunCommandLineOptions(argc, argv, stdout)) {
        return *status;
    }
    // A command runs without any window, so it needs no display.
    if (varnix::NamesCommand(argc, argv)) {
        return varnix::RunCommandLine(argc, argv);
    }
    varnix::Application app(argc, argv);
    varnix::TForm1 form1;
    app.SetErrorReport(&form1.Report());
    varnix::TForm2 form2(&form1, form1.Report(), form1.Transfer.PortReady);
    form1.SetPortDialog(&form2);
    form1.show();
    return app.exec();
}
