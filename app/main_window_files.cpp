// The main window's settings files: load, "Write To File...", and the offer to save on
// closing.
#include <QDir>

#include "load_notes.h"
#include "main_window.h"
#include "settings_file.h"
#include "write_check.h"

namespace varnix {

namespace {

constexpr char kFilter[] = "*.mdb|*.mdb";

}  // namespace

void TForm1::ShowNotice(const char* text) {
    boxes_.Show({text, "message", MessageIcon::None, MessageButtons::Ok});
}

void TForm1::BitBtn1Click() {
    const auto path = dialogs_.Show({false, kFilter, QDir::currentPath().toStdString()});
    if (path) {
        OpenSettingsFile(*path);
    }
}

void TForm1::OpenSettingsFile(const std::string& path) {
    BitBtn5Click();
    ShowLoadNotes(path, session_.Files().Load(path, *this));
}

void TForm1::ShowLoadNotes(const std::string& path, const LoadNotes& notes) {
    std::string detail;
    for (const std::string& sentence : DescribeLoadNotes(notes)) {
        detail += Capitalised(sentence) + ".\n";
    }
    // Texts that are no phone numbers are shown as they are, to be mended; a write would
    // refuse them.
    const WriteCheck check = CheckWriteValues(*this);
    if (!check.badSlots.empty()) {
        detail += check.SlotsText() + "\n";
    }
    if (detail.empty()) {
        return;
    }
    detail.pop_back();
    boxes_.Show({"Not all of " + path + " is shown as it stands.", "Message",
                 MessageIcon::Information, MessageButtons::Ok, detail});
    if (!check.badSlots.empty()) {
        StringGrid1->SetCurrentRow(check.badSlots.front().slot);
    }
}

std::optional<std::string> TForm1::NewFileFromTemplate() {
    const auto chosen = dialogs_.Show({true, kFilter, std::string()});
    if (!chosen) {
        return std::nullopt;
    }
    const std::string newFile = *chosen + ".mdb";
    if (!SessionFiles::CreateFromTemplate(newFile)) {
        ShowNotice("Important file is missing, please heavy install software.");
        return std::nullopt;
    }
    return newFile;
}

void TForm1::SaveToDatabase(const std::string& fileName) {
    try {
        if (session_.Files().Save(fileName, *this, [this](const FileRefused& refused) {
                return FileInsteadOf(refused);
            })) {
            return;
        }
    } catch (const FileNotSaved& error) {
        boxes_.Show({"Nothing was saved into " + error.Path() + ".", "Message", MessageIcon::Stop,
                     MessageButtons::Ok, error.what()});
    }
    throw SilentAbort();
}

std::optional<std::string> TForm1::FileInsteadOf(const FileRefused& refused) {
    boxes_.Show({"Varnix cannot save into " + refused.Path() + ".", "Message", MessageIcon::Stop,
                 MessageButtons::Ok, refused.Reason() + "\n\nChoose a new file for your changes."});
    return NewFileFromTemplate();
}

void TForm1::SaveIntoNewFile() {
    const auto newFile = NewFileFromTemplate();
    if (!newFile) {
        throw SilentAbort();
    }
    SaveToDatabase(*newFile);
}

void TForm1::BitBtn2Click() {
    if (!WorkFile().empty()) {
        SaveToDatabase(WorkFile());
        ShowNotice("Saved successfully");
        return;
    }
    const auto newFile = NewFileFromTemplate();
    if (!newFile) {
        return;
    }
    SaveToDatabase(*newFile);
    ShowNotice("Saved successfully");
}

void TForm1::FormClose() {
    const std::string workFile = WorkFile();
    if (workFile.empty()) {
        return;
    }
    // A work file that cannot take the save is said with the offer, and Yes goes to a new
    // file at once.
    MessageRequest offer{"save data", "Message", MessageIcon::Question, MessageButtons::YesNo};
    std::string refusal;
    try {
        session_.Files().CheckSaveTarget(workFile);
    } catch (const FileRefused& refused) {
        refusal = refused.Reason();
        offer.detail = "Varnix cannot save into " + workFile + ": " + refusal +
                       ".\n\nYes chooses a new file for your changes.";
    }
    if (boxes_.Show(offer) != MessageResult::Yes) {
        return;
    }
    if (refusal.empty()) {
        SaveToDatabase(workFile);
    } else {
        SaveIntoNewFile();
    }
    ShowNotice("Data saved successfully");
}

}  // namespace varnix
