// The main window "Varnix V.1.2": the whole device configuration while it is edited (phone
// table, relay settings, password), the current work file, the status line, and the
// buttons that start everything the program does.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <memory>
#include <optional>
#include <string>

#include "ado_query.h"
#include "comm.h"
#include "comm_transfer_port.h"
#include "device_transfer.h"
#include "error_report.h"
#include "file_dialogs.h"
#include "message_boxes.h"
#include "phone_grid.h"
#include "settings_file.h"
#include "status_line.h"
#include "window_timer.h"

namespace varnix {

class TForm2;

class TForm1 : public QMainWindow,
               private TransferScreen,
               private TransferServices,
               private SettingsValues {
    Q_OBJECT
    // First, so that everything built after them can report.
    MessageBoxes boxes_{this};
    ErrorReport report_{boxes_};
    FileDialogs dialogs_{this};

  public:
    // Builds the window from its layout and runs FormCreate.
    TForm1();
    ~TForm1() override;

    // The port setup dialog, created after this window; the transfers read its port.
    void SetPortDialog(TForm2* form2) { form2_ = form2; }

    MessageBoxes& Boxes() { return boxes_; }
    FileDialogs& Dialogs() { return dialogs_; }
    ErrorReport& Report() { return report_; }
    std::string StatusText() const { return StatusPanel->Text(); }
    // The on-screen values as the device transfers reach them; texts are UTF-8.
    TransferScreen& Screen() { return *this; }

    // Controls, as laid out.
    QGroupBox* GroupBox1;
    QLabel* Label3;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox4;
    QLabel* Label4;
    QLineEdit* Edit2;
    QPushButton* BitBtn8;
    QPushButton* BitBtn7;
    QGroupBox* GroupBox3;
    PhoneGrid* StringGrid1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;
    QStatusBar* StatusBar1;
    StatusLine* StatusPanel;

    // Components without a screen presence.
    TComm Comm1;
    WindowTimer Timer1;
    DeviceTransfer Transfer;
    AdoQuery ADOQuery1;

    // Handlers.
    void FormCreate();
    void FormShow();
    // Offers to save into the current work file; a silent abort keeps the window open.
    void FormClose();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click() { Transfer.StartRead(); }
    void BitBtn4Click() { Transfer.StartWrite(); }
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click() { Transfer.StartSetPassword(); }
    void BitBtn8Click() { Transfer.StartGetPassword(); }
    void Edit1KeyPress(char& key);
    void Edit1Exit();
    void Edit2KeyPress(char& key);
    void StringGrid1KeyPress(char& key);
    void StringGrid1SetEditText(int col, int row, const QString& value);
    void Timer1Timer() { Transfer.Tick(); }
    void Comm1ReceiveData(const std::uint8_t* buffer, std::uint16_t bufferLength) {
        Transfer.ReceiveBurst(buffer, bufferLength);
    }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildLayout();
    QPushButton* AddButton(QWidget* parent, const char* caption, QRect geometry,
                           void (TForm1::*handler)());
    void ConfigureComm1();
    // Writes the phone table, the time-out and the flag into the file, all or nothing.
    // A file that cannot take them is named with the reason, and the save dialog offers a
    // new file instead, which then becomes the work file. It returns true when the values
    // were saved, or ends the user action with the silent abort after saying why not.
    bool SaveToDatabase(const std::string& fileName);
    // Asks for a new file's name and copies the template there; nothing when the user
    // cancels or the copy fails (which it says).
    std::optional<std::string> NewFileFromTemplate();
    void ShowNotice(const char* text);
    // The work file's path. Paths travel as UTF-8 on every system: the store and the
    // system layer take them so, and Windows opens them by their wide-character names.
    std::string WorkFile() const;

    // TransferScreen
    std::string PhoneText(int slot) const override;
    void SetPhoneText(int slot, const std::string& text) override;
    std::string TimeoutText() const override;
    void SetTimeoutText(const std::string& text) override;
    bool ExternalDisconnect() const override { return CheckBox1->isChecked(); }
    void SetExternalDisconnect(bool on) override { CheckBox1->setChecked(on); }
    std::string PasswordText() const override;
    void SetPasswordText(const std::string& text) override;
    std::string ChosenPortName() const override;
    // TransferServices
    void ShowStartFailure(const std::string& text) override;
    void SetStatusText(const std::string& text) override { StatusPanel->SetText(text); }
    void EnableTimer() override { Timer1.SetEnabled(true); }

    CommTransferPort commPort_{Comm1};
    // The work file as last loaded or saved, when it is a genuine Access file: a save
    // leaves a file that changed since alone.
    std::optional<FileDigest> workFileDigest_;
    // The file the last save went into, and its digest.
    std::string savedPath_;
    std::optional<FileDigest> savedDigest_;
    TForm2* form2_ = nullptr;
    bool shown_ = false;
};

}  // namespace varnix
