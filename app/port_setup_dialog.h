// The port setup dialog "Com Setup": the chosen port, one of "COM1" to "COM15", kept
// in the registry value "COM1" of \Software\ZUR\Pellion as the list index. Each name
// tells which device it opens; its context menu links it to a serial device found.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <string>

#include "device_session.h"
#include "error_report.h"
#include "port_choice.h"

namespace varnix {

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    // Applies the stored choice at once; a failure goes to the error report and the
    // dialog is completed all the same. "OK" tells `session` that the port changed, so
    // that the next transfer opens the port afresh.
    TForm2(QWidget* parent, ErrorReport& report, DeviceSession& session);

    // The name of the selected entry; empty when none is selected.
    std::string ChosenPortName() const;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QPushButton* BitBtn1;

    void FormCreate();
    void BitBtn1Click();

    // Looks for devices and writes each name's tooltip and accessible description.
    void DescribePorts();
    // The menu of devices to link the name at `index` to; the caller owns it.
    QMenu* LinkMenu(int index);
    // Where the device search starts; a fake tree in the tests.
    void SetDeviceRoot(const std::string& root) { deviceRoot_ = root; }

  protected:
    // Centred on the desktop at every showing, not over the main window.
    void showEvent(QShowEvent* event) override;

  private:
    void ShowLinkMenu(int index, QPoint globalPos);

    std::string deviceRoot_;
    ErrorReport& report_;
    DeviceSession& session_;
};

}  // namespace varnix
