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

std::string TForm1::WorkFile() const {
    return Label3->text().toStdString();
}

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
    Label3->setText(QString::fromStdString(path));
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

bool TForm1::SaveToDatabase(const std::string& fileName) {
    const bool workFile = !Label3->text().isEmpty() && fileName == WorkFile();
    try {
        session_.Files().Save(fileName, *this, workFile);
        return true;
    } catch (const FileRefused& refused) {
        boxes_.Show({"Varnix cannot save into " + refused.Path() + ".", "Message",
                     MessageIcon::Stop, MessageButtons::Ok,
                     refused.Reason() + "\n\nChoose a new file for your changes."});
    } catch (const std::exception& error) {
        boxes_.Show({"Nothing was saved into " + fileName + ".", "Message", MessageIcon::Stop,
                     MessageButtons::Ok, error.what()});
        throw SilentAbort();
    }
    return SaveIntoNewFile();
}

bool TForm1::SaveIntoNewFile() {
    // The new file (or, if that one is refused too, the one chosen after it) becomes the
    // work file.
    const auto newFile = NewFileFromTemplate();
    if (!newFile || !SaveToDatabase(*newFile)) {
        throw SilentAbort();
    }
    Label3->setText(QString::fromStdString(session_.Files().AdoptLastSaved()));
    return true;
}

void TForm1::BitBtn2Click() {
    if (!Label3->text().isEmpty()) {
        if (SaveToDatabase(WorkFile())) {
            ShowNotice("Saved successfully");
        }
        return;
    }
    const auto newFile = NewFileFromTemplate();
    if (!newFile) {
        return;
    }
    if (SaveToDatabase(*newFile)) {
        ShowNotice("Saved successfully");
        Label3->setText(QString::fromStdString(session_.Files().AdoptLastSaved()));
    }
}

void TForm1::FormClose() {
    if (Label3->text().isEmpty()) {
        return;
    }
    // A work file that cannot take the save is said with the offer, and Yes goes to a new
    // file at once.
    MessageRequest offer{"save data", "Message", MessageIcon::Question, MessageButtons::YesNo};
    std::string refusal;
    try {
        session_.Files().CheckSaveTarget(WorkFile());
    } catch (const FileRefused& refused) {
        refusal = refused.Reason();
        offer.detail = "Varnix cannot save into " + WorkFile() + ": " + refusal +
                       ".\n\nYes chooses a new file for your changes.";
    }
    if (boxes_.Show(offer) != MessageResult::Yes) {
        return;
    }
    if (refusal.empty() ? SaveToDatabase(WorkFile()) : SaveIntoNewFile()) {
        ShowNotice("Data saved successfully");
    }
}

}  // namespace varnix
