// The main window's settings files: load, "Write To File...", and the offer to save on
// closing.
#include <QDir>
#include <QFile>

#include "file_copy.h"
#include "main_window.h"
#include "windows_directory.h"

namespace varnix {

namespace {

constexpr char kFilter[] = "*.mdb|*.mdb";

}  // namespace

std::string TForm1::WorkFile() const {
    return QFile::encodeName(Label3->text()).toStdString();
}

void TForm1::ShowNotice(const char* text) {
    boxes_.Show({text, "message", MessageIcon::None, MessageButtons::Ok});
}

void TForm1::RunQuery(const char* sql) {
    ADOQuery1.Close();
    ADOQuery1.SetSql(sql);
    ADOQuery1.Open();
}

void TForm1::BitBtn1Click() {
    const auto path = dialogs_.Show({false, kFilter, QDir::currentPath().toStdString()});
    if (!path) {
        return;
    }
    BitBtn5Click();
    Label3->setText(QFile::decodeName(path->c_str()));
    ADOQuery1.SetConnectionString(ConnectionStringFor(*path));
    try {
        RunQuery("select * from phone");
        if (ADOQuery1.RecordCount() > 0) {
            for (ADOQuery1.First(); !ADOQuery1.Eof(); ADOQuery1.Next()) {
                // Rows outside the table, a null id among them, are left out.
                const std::int64_t id = ADOQuery1.FieldAsInteger("id");
                if (id >= 1 && id <= kSlotCount) {
                    StringGrid1->SetCell(1, static_cast<int>(id),
                                         QString::fromLatin1(ADOQuery1.FieldAsString("phone")));
                }
            }
        }
        RunQuery("select * from pcong");
        if (ADOQuery1.RecordCount() > 0) {
            ADOQuery1.First();
            Edit1->setText(QString::fromLatin1(ADOQuery1.FieldAsString("time")));
            if (ADOQuery1.FieldAsInteger("rec") > 0) {
                CheckBox1->setChecked(true);
            }
        }
    } catch (...) {
        ADOQuery1.Disconnect();
        throw;
    }
    ADOQuery1.Disconnect();
}

bool TForm1::SaveToDatabase(const std::string& fileName) {
    ADOQuery1.SetConnectionString(ConnectionStringFor(fileName));
    try {
        // One transaction: a save that fails leaves the file as it was.
        ADOQuery1.BeginTransaction();
        ADOQuery1.Close();
        ADOQuery1.SetSql("delete from phone");
        ADOQuery1.ExecSql();
        RunQuery("select * from phone");
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const QString text = StringGrid1->Cell(1, slot);
            if (text.isEmpty()) {
                continue;
            }
            ADOQuery1.Append();
            ADOQuery1.SetField("id", std::int64_t{slot});
            ADOQuery1.SetField("phone", text.toLatin1().toStdString());
            ADOQuery1.Post();
        }
        RunQuery("select * from pcong");
        ADOQuery1.Edit();
        ADOQuery1.SetField("rec", std::int64_t{CheckBox1->isChecked() ? 1 : 0});
        std::int32_t timeout = 0;
        if (!ParseDecimalInt32(Edit1->text().toLatin1().toStdString(), timeout)) {
            throw DatabaseError("not a valid integer value");
        }
        ADOQuery1.SetField("time", std::int64_t{timeout});
        ADOQuery1.Post();
        ADOQuery1.Commit();
    } catch (...) {
        ADOQuery1.Rollback();
        ADOQuery1.Disconnect();
        throw SilentAbort();
    }
    ADOQuery1.Disconnect();
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
        Label3->setText(QFile::decodeName(newFile.c_str()));
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
