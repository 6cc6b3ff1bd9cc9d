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

#include "config_values.h"
#include "device_session.h"
#include "error_report.h"
#include "file_dialogs.h"
#include "load_notes.h"
#include "message_boxes.h"
#include "phone_grid.h"
#include "status_line.h"

namespace varnix {

class CompareDialog;
class TForm2;

class TForm1 : public QMainWindow, private ConfigValues {
    Q_OBJECT
    // First, so that everything built after them can report.
    MessageBoxes boxes_{this};
    ErrorReport report_{boxes_};
    FileDialogs dialogs_{this};
    // The device, the port and the files, on the values this window shows.
    DeviceSession session_{*this, report_.AsEventGuard(), this};

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
    // The on-screen values as the device transfers and the files reach them; texts are
    // UTF-8.
    ConfigValues& Screen() { return *this; }
    DeviceSession& Session() { return session_; }

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

    // Handlers.
    void FormCreate();
    void FormShow();
    // Offers to save into the current work file; a silent abort keeps the window open.
    void FormClose();
    void BitBtn1Click();
    // Loads the settings file as "Load From File..." does once the file is chosen.
    void OpenSettingsFile(const std::string& path);
    void BitBtn2Click();
    void BitBtn3Click() { session_.Read(); }
    void BitBtn4Click() { session_.Write(); }
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click() { session_.SetPassword(); }
    void BitBtn8Click() { session_.GetPassword(); }
    // "Compare With Device..." of the phone table's menu: reads the device into the
    // session's copy and, once the read has finished, lists where it differs from the
    // window. The window's values stay as they are.
    void CompareWithDevice() { session_.ReadCopy(); }
    void Edit1KeyPress(char& key);
    void Edit1Exit();
    void Edit2KeyPress(char& key);
    void StringGrid1KeyPress(char& key);
    void StringGrid1SetEditText(int col, int row, const QString& value);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildLayout();
    QPushButton* AddButton(QWidget* parent, const char* caption, QRect geometry,
                           void (TForm1::*handler)());
    // A start that failed: its message, and for a port what was found.
    void ShowStartFailure(const SessionFailure& failure);
    // Writes the phone table, the time-out and the flag into the file, all or nothing, by
    // the session's save policy: a file that cannot take them is named with the reason,
    // and the save dialog offers a new file instead. The file saved into becomes the work
    // file. It returns once the values are saved, or ends the user action with the silent
    // abort after saying why not.
    void SaveToDatabase(const std::string& fileName);
    // The window's answer to a file that refuses a save: the reason, and a new file from
    // the save dialog; nothing when the user cancels or no new file could be made.
    std::optional<std::string> FileInsteadOf(const FileRefused& refused);
    // Asks for a new file's name and saves into a copy of the template there, which becomes
    // the work file; it ends the user action with the silent abort when nothing was saved.
    void SaveIntoNewFile();
    // After a load, one message of what the file holds but the window cannot show as it
    // stands: rows without a slot, and texts that cannot go to the device (the first of
    // those is selected).
    void ShowLoadNotes(const std::string& path, const LoadNotes& notes);
    // Asks for a new file's name and copies the template there; nothing when the user
    // cancels or the copy fails (which it says).
    std::optional<std::string> NewFileFromTemplate();
    void ShowNotice(const char* text);
    // The dialog "Compare With Device" with the device's copy against the window.
    void ShowComparison();
    // Selects the slot's cell in the phone table and scrolls to it.
    void ShowSlot(int slot);
    // The text with its first letter a capital, as a sentence of its own.
    static std::string Capitalised(std::string text);
    // The session's work file; empty when there is none. Paths travel as UTF-8 on every
    // system: the store and the system layer take them so, and Windows opens them by their
    // wide-character names.
    std::string WorkFile() const { return session_.Files().WorkFile(); }

    // ConfigValues
    std::string PhoneText(int slot) const override;
    void SetPhoneText(int slot, const std::string& text) override;
    std::string TimeoutText() const override;
    void SetTimeoutText(const std::string& text) override;
    bool ExternalDisconnect() const override { return CheckBox1->isChecked(); }
    void SetExternalDisconnect(bool on) override { CheckBox1->setChecked(on); }
    std::string PasswordText() const override;
    void SetPasswordText(const std::string& text) override;

    TForm2* form2_ = nullptr;
    // Made at the first comparison; the window owns it.
    CompareDialog* compare_ = nullptr;
    bool shown_ = false;
};

}  // namespace varnix
