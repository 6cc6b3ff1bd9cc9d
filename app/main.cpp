// Project1: the configuration utility for the ZUR relay switch.
#include <QFileInfo>
#include <QTimer>

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
    if (varnix::NamesFileToOpen(argc, argv)) {
        // Qt has taken its own options out of the arguments: the file's name is the last
        // one left, in full Unicode on Windows too.
        const QString file = QFileInfo(QCoreApplication::arguments().last()).absoluteFilePath();
        QTimer::singleShot(0, &form1,
                           [&form1, file] { form1.OpenSettingsFile(file.toStdString()); });
    }
    return app.exec();
}
