// The event loop. Handlers run inside the error guard; this catch is a last resort for
// anything that still reaches Qt's dispatch.
#pragma once

#include <QApplication>

namespace varnix {

class ErrorReport;

class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);
    void SetErrorReport(ErrorReport* report) { report_ = report; }
    bool notify(QObject* receiver, QEvent* event) override;

  private:
    ErrorReport* report_ = nullptr;
};

}  // namespace varnix
