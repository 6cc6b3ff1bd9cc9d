// The main window's settings files: load, "Write To File...", and the offer to save on
// closing.
#include <QDir>

#include "file_copy.h"
#include "jet_file.h"
#include "main_window.h"
#include "settings_file.h"
#include "windows_directory.h"

namespace varnix {

namespace {

constexpr char kFilter[] = "*.mdb|*.mdb";

}  // namespace

std::string TForm1::WorkFile() const {
    return Label3->text().toStdString();
}

void TForm1::ShowNotice(const char* text) {
    boxes_.Show({text, "message", MessageIcon::None, MessageButtons::Ok});
}

void TForm1::BitBtn1Click() {
    const auto path = dialogs_.Show({false, kFilter, QDir::currentPath().toStdString()});
    if (!path) {
        return;
    }
    BitBtn5Click();
    Label3->setText(QString::fromStdString(*path));
    LoadSettings(ADOQuery1, *path, *this);
}

bool TForm1::SaveToDatabase(const std::string& fileName) {
    if (IsAccessFile(fileName)) {
        // Read, never written: the file stays as it is and the action ends here.
        boxes_.Show({fileName + " is a Microsoft Access file, which Varnix can read but not "
                                "write. Use \"Write To File...\" and a new name to keep your "
                                "changes.",
                     "message", MessageIcon::Information, MessageButtons::Ok});
        throw SilentAbort();
    }
    try {
        SaveSettings(ADOQuery1, fileName, *this);
    } catch (...) {
        throw SilentAbort();
    }
    return true;
}

void TForm1::BitBtn2Click() {
    if (!Label3->text().isEmpty()) {
        if (SaveToDatabase(WorkFile())) {
            ShowNotice("Saved successfully");
        }
        return;
    }
    const auto chosen = dialogs_.Show({true, kFilter, std::string()});
    if (!chosen) {
        return;
    }
    const std::string newFile = *chosen + ".mdb";
    if (!CopyFileNoOverwrite(TemplatePath(), newFile)) {
        ShowNotice("Important file is missing, please heavy install software.");
        return;
    }
    if (SaveToDatabase(newFile)) {
        ShowNotice("Saved successfully");
        Label3->setText(QString::fromStdString(newFile));
    }
}

void TForm1::FormClose() {
    if (Label3->text().isEmpty()) {
        return;
    }
    const MessageResult answer =
        boxes_.Show({"save data", "Message", MessageIcon::Question, MessageButtons::YesNo});
    if (answer != MessageResult::Yes) {
        return;
    }
    if (SaveToDatabase(WorkFile())) {
        ShowNotice("Data saved successfully");
    }
}

}  // namespace varnix
