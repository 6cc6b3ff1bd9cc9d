// Project1: the configuration utility for the ZUR relay switch.
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include "application.h"
#include "error_report.h"
#include "message_boxes.h"
#include "status_line.h"

int main(int argc, char** argv) {
    varnix::Application app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Varnix V.1.2");
    varnix::MessageBoxes boxes(&window);
    varnix::ErrorReport report(boxes);
    app.SetErrorReport(&report);
    auto* placeholder = new QLabel("The configuration window is being built.", &window);
    placeholder->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(placeholder);
    varnix::StatusLine status(window.statusBar(), "Status bar .....");
    window.resize(345, 628);
    window.show();
    return app.exec();
}
