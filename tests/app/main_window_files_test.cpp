#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QDir>
#include <QTest>
#include <filesystem>

#include "jet/file.h"
#include "main_window_fixture.h"
#include "sqlite_sql.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using testing::Sql;

void MakeSqliteWorkFile(const fs::path& file) {
    Sql(file,
        "create table phone (id INTEGER, phone TEXT); create table pcong (time INTEGER, rec "
        "INTEGER);");
}

// The phone rows of a genuine Access file, "id|phone", as our Jet reader reads them.
std::vector<std::string> AccessPhoneRows(const fs::path& file) {
    std::vector<std::string> rows;
    for (const auto& row : JetFile::Open(file.string()).ReadTable("phone").rows) {
        rows.push_back(std::to_string(row[0].integer) + "|" + row[1].text);
    }
    return rows;
}

class MainWindowFilesTest : public testing::MainWindowFixture {
  protected:
    MainWindowFilesTest() {
        folder = sandbox.Root() / "files";
        fs::create_directories(folder);
        form1->Dialogs().SetAnswerer([this](const FileRequest& request) {
            requests.push_back(request);
            std::optional<std::string> answer = nextFile;
            nextFile.reset();
            return answer;
        });
    }
    // A work file of an earlier Varnix, an SQLite database with the two tables empty.
    fs::path NewFile(const std::string& name) {
        const fs::path file = folder / name;
        MakeSqliteWorkFile(file);
        return file;
    }
    void Load(const fs::path& file) {
        nextFile = file.string();
        LoadFromFile();
        QCoreApplication::processEvents();
    }
    void WriteToFile(const std::optional<std::string>& chosen = std::nullopt) {
        nextFile = chosen;
        MainWindowFixture::WriteToFile();
        QCoreApplication::processEvents();
    }
    // The first line of a failed save's message: the file refused, so a new one is
    // offered; or the values refused, so nothing was written.
    static std::string Refused(const fs::path& file) {
        return "Varnix cannot save into " + file.string() + ".";
    }
    static std::string NotSaved(const fs::path& file) {
        return "Nothing was saved into " + file.string() + ".";
    }
    bool CloseWindow() {
        QCloseEvent event;
        QCoreApplication::sendEvent(form1.get(), &event);
        QCoreApplication::processEvents();
        return event.isAccepted();
    }

    fs::path folder;
    std::optional<std::string> nextFile;
    std::vector<FileRequest> requests;
};

TEST_F(MainWindowFilesTest, FullTableSavesAndLoadsBack) {
    const fs::path file = NewFile("full.mdb");
    for (int slot = 1; slot <= 500; ++slot) {
        form1->StringGrid1->SetCell(1, slot, QString("+%1").arg(slot * 1000003));
    }
    form1->Edit1->setText("59999");
    form1->CheckBox1->setChecked(true);
    Load(file);  // the work file; the load clears the table
    EXPECT_EQ(Cell(1), "");
    for (int slot = 1; slot <= 500; ++slot) {
        form1->StringGrid1->SetCell(1, slot, QString("+%1").arg(slot * 1000003));
    }
    form1->Edit1->setText("59999");
    form1->CheckBox1->setChecked(true);
    form1->Edit2->setText("1111");
    WriteToFile();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Saved successfully"});
    EXPECT_EQ(messages[0].title, "message");
    EXPECT_EQ(messages[0].icon, MessageIcon::None);

    ClearAll();
    Load(file);
    for (int slot = 1; slot <= 500; ++slot) {
        ASSERT_EQ(Cell(slot), "+" + std::to_string(slot * 1000003));
    }
    EXPECT_EQ(form1->Edit1->text(), "59999");
    EXPECT_TRUE(form1->CheckBox1->isChecked());
    EXPECT_EQ(form1->Edit2->text(), "7093");  // never stored
    EXPECT_EQ(requests.back().filter, "*.mdb|*.mdb");
    EXPECT_FALSE(requests.back().save);
}

TEST_F(MainWindowFilesTest, LoadTakesWhatIsStoredAsItIs) {
    const fs::path file = NewFile("odd.mdb");
    Sql(file,
        "insert into phone values (1, 'first'), (1, 'second'), (501, 'beyond'), (0, 'zero'),"
        " (-4, 'negative'), (NULL, 'no id'), (2, NULL), (3, '+1 (555) 0100-long-text'),"
        " (500, 'last');"
        "insert into pcong values (70000, 2);");
    form1->StringGrid1->SetCell(1, 2, "to be cleared");
    Load(file);
    EXPECT_EQ(Cell(1), "second");
    EXPECT_EQ(Cell(2), "");
    EXPECT_EQ(Cell(3), "+1 (555) 0100-long-text");
    EXPECT_EQ(Cell(500), "last");
    EXPECT_EQ(form1->StringGrid1->Cell(0, 0), "Nr.");
    EXPECT_EQ(form1->Edit1->text(), "70000");
    EXPECT_TRUE(form1->CheckBox1->isChecked());
    EXPECT_EQ(form1->Label3->text().toStdString(), file.string());
    // One message says what the window cannot show as it stands, and the first slot whose
    // text cannot go to the device is selected.
    ASSERT_EQ(Texts(),
              std::vector<std::string>{"Not all of " + file.string() + " is shown as it stands."});
    EXPECT_EQ(messages[0].detail,
              "3 rows of the phone table have ids outside 1 to 500 (501, 0, -4): they are kept "
              "in the file but not shown.\n1 row of the phone table has no id: it is kept in the "
              "file but not shown.\n1 slot has more than one row in the phone table (1): it "
              "shows the last of them, and a save keeps only that one.\n3 slots cannot go to "
              "the device: slot 1 \"second\" holds characters other than the digits and \"+\"; "
              "slot 3 \"+1 (555) 0100-long-text\" holds characters other than the digits and "
              "\"+\"; slot 500 \"last\" holds characters other than the digits and \"+\".");
    EXPECT_EQ(form1->StringGrid1->CurrentRow(), 1);
    messages.clear();

    for (const char* rec : {"0", "-1", "NULL"}) {
        Sql(file, std::string("delete from pcong; insert into pcong values (NULL, ") + rec + ");");
        form1->CheckBox1->setChecked(true);
        Load(file);
        EXPECT_FALSE(form1->CheckBox1->isChecked()) << rec;
        EXPECT_EQ(form1->Edit1->text(), "");
    }
    Sql(file, "delete from pcong");
    Load(file);
    EXPECT_EQ(form1->Edit1->text(), "0");

    // Earlier versions stored one Latin-1 byte a character; such a text shows as it was
    // meant, and a save stores it as UTF-8.
    Sql(file, "delete from phone; insert into phone values (4, X'636166E9'), (5, 'caf\u00e9');");
    Load(file);
    EXPECT_EQ(Cell(4), "caf\u00e9");
    EXPECT_EQ(Cell(5), "caf\u00e9");
    WriteToFile();
    EXPECT_EQ(Sql(file, "select hex(phone) from phone where id = 4"),
              std::vector<std::string>{"636166C3A9"});
}

TEST_F(MainWindowFilesTest, LoadOfABadFileReportsAndStillSetsTheWorkFile) {
    const fs::path junk = folder / "junk.mdb";
    std::ofstream(junk) << "not a database at all, just some text that is long enough......";
    const std::string before = testing::ConfigSandbox::Read(junk);
    form1->Edit2->setText("12");
    form1->StringGrid1->SetCell(1, 9, "9");
    Load(junk);
    // Each error names the file and says in our words what is wrong with it.
    const auto said = [](const fs::path& file, const std::string& reason) {
        return std::vector<std::string>{file.string() + ": " + reason + "."};
    };
    EXPECT_EQ(Texts(), said(junk,
                            "the file is not a settings file: it is neither an Access database "
                            "nor a work file of an earlier Varnix"));
    EXPECT_EQ(form1->Label3->text().toStdString(), junk.string());
    EXPECT_EQ(form1->Edit2->text(), "7093");
    EXPECT_EQ(Cell(9), "");
    EXPECT_EQ(testing::ConfigSandbox::Read(junk), before);

    const fs::path empty = folder / "empty.mdb";
    std::ofstream{empty};
    messages.clear();
    Load(empty);
    EXPECT_EQ(Texts(), said(empty, "the file is empty"));
    const fs::path noTable = folder / "no-table.mdb";
    Sql(noTable, "create table pcong (time INTEGER, rec INTEGER);");
    messages.clear();
    Load(noTable);
    EXPECT_EQ(Texts(), said(noTable, "the file has no table phone, which holds the phone numbers"));
    const fs::path noColumn = folder / "no-column.mdb";
    Sql(noColumn,
        "create table phone (nr INTEGER, phone TEXT); insert into phone values (1, 'x');");
    messages.clear();
    Load(noColumn);
    EXPECT_EQ(Texts(), said(noColumn, "the table phone has no column id"));
    messages.clear();
    Load(folder / "missing.mdb");
    EXPECT_EQ(Texts(), said(folder / "missing.mdb", "the file does not exist"));
    EXPECT_FALSE(fs::exists(folder / "missing.mdb"));

    // The bad work file makes "Write To File..." say why and offer a new file.
    Load(junk);
    messages.clear();
    requests.clear();
    WriteToFile();
    EXPECT_EQ(Texts(), std::vector<std::string>{Refused(junk)});
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(testing::ConfigSandbox::Read(junk), before);
}

TEST_F(MainWindowFilesTest, FailedSaveLeavesTheFileByteForByte) {
    const fs::path file = NewFile("keep.mdb");
    Sql(file,
        "insert into phone values (1, '1111'), (2, '2222'); insert into pcong values (9, 1);");
    Load(file);
    const std::string before = testing::ConfigSandbox::Read(file);
    form1->StringGrid1->SetCell(1, 1, "");
    form1->StringGrid1->SetCell(1, 5, "five");
    form1->Edit1->setText("");
    WriteToFile();
    EXPECT_EQ(Texts(), std::vector<std::string>{NotSaved(file)});
    EXPECT_EQ(messages[0].detail, "'' is not a valid integer value");
    EXPECT_EQ(testing::ConfigSandbox::Read(file), before);
    // ... and the next save works.
    form1->Edit1->setText("10");
    WriteToFile();
    EXPECT_EQ(Sql(file, "select id from phone"), (std::vector<std::string>{"2", "5"}));

    if (::geteuid() != 0) {
        const std::string saved = testing::ConfigSandbox::Read(file);
        fs::permissions(file, fs::perms::owner_read);
        messages.clear();
        form1->StringGrid1->SetCell(1, 6, "six");
        WriteToFile();
        EXPECT_EQ(Texts(), std::vector<std::string>{Refused(file)});
        EXPECT_EQ(testing::ConfigSandbox::Read(file), saved);
    }
}

TEST_F(MainWindowFilesTest, WriteToFileMakesNewFilesFromTheTemplate) {
    WriteToFile();  // cancelled
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);

    // An existing target is never overwritten.
    const fs::path taken = NewFile("taken.mdb");
    const std::string before = testing::ConfigSandbox::Read(taken);
    WriteToFile((folder / "taken").string());
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Important file is missing, please heavy install software."});
    EXPECT_EQ(testing::ConfigSandbox::Read(taken), before);
    EXPECT_EQ(form1->Label3->text(), "");

    // Without the template.
    setenv("WINDIR", (folder / "nowhere").c_str(), 1);
    messages.clear();
    WriteToFile((folder / "other").string());
    unsetenv("WINDIR");
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Important file is missing, please heavy install software."});
    EXPECT_FALSE(fs::exists(folder / "other.mdb"));

    // A save that fails keeps the copy and leaves the work file unset.
    form1->Edit1->setText("");
    messages.clear();
    WriteToFile((folder / "broken").string());
    EXPECT_EQ(Texts(), std::vector<std::string>{NotSaved(folder / "broken.mdb")});
    EXPECT_TRUE(fs::exists(folder / "broken.mdb"));
    EXPECT_EQ(form1->Label3->text(), "");

    form1->Edit1->setText("1");
    messages.clear();
    const std::string chosen = (folder / "site.mdb").string();
    form1->StringGrid1->SetCell(1, 12, "12");
    WriteToFile(chosen);
    const fs::path created = chosen + ".mdb";  // ".mdb" always appended
    EXPECT_EQ(Texts(), std::vector<std::string>{"Saved successfully"});
    EXPECT_EQ(form1->Label3->text().toStdString(), created.string());
    EXPECT_EQ(FileKindOfPath(created.string()), FileKind::Jet4);  // Varnix's own template
    EXPECT_EQ(AccessPhoneRows(created), std::vector<std::string>{"12|12"});
}

TEST_F(MainWindowFilesTest, ClosingOffersToSaveOnlyWithAWorkFile) {
    EXPECT_TRUE(CloseWindow());
    EXPECT_TRUE(messages.empty());
    form1->show();

    const fs::path file = NewFile("close.mdb");
    Load(file);
    form1->StringGrid1->SetCell(1, 4, "4");
    answers = {MessageResult::No};
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(Texts(), std::vector<std::string>{"save data"});
    EXPECT_EQ(messages[0].title, "Message");
    EXPECT_EQ(messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(Sql(file, "select * from phone").empty());

    form1->show();
    form1->Edit1->setText("");
    answers = {MessageResult::Yes};
    messages.clear();
    EXPECT_FALSE(CloseWindow());  // the save failed: the window stays
    EXPECT_EQ(Texts(), (std::vector<std::string>{"save data", NotSaved(file)}));

    form1->Edit1->setText("7");
    answers = {MessageResult::Yes};
    messages.clear();
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"save data", "Data saved successfully"}));
    EXPECT_EQ(Sql(file, "select id, phone from phone"), std::vector<std::string>{"4|4"});
}

// A file on a read-only mount cannot be written by anyone, root included.
TEST_F(MainWindowFilesTest, FileOnAReadOnlyMountIsLeftAlone) {
    const fs::path mount = folder / "readonly";
    fs::create_directories(mount);
    if (::geteuid() != 0 ||
        std::system(
            ("mount -t tmpfs -o size=1m varnix-test " + mount.string() + " 2>/dev/null").c_str()) !=
            0) {
        GTEST_SKIP() << "needs root and tmpfs mounts";
    }
    struct Unmount {
        fs::path dir;
        ~Unmount() {
            QDir::setCurrent("/");
            std::system(("umount -l " + dir.string()).c_str());
        }
    } unmount{mount};
    const fs::path file = mount / "site.mdb";
    MakeSqliteWorkFile(file);
    Sql(file, "insert into phone values (1, '5550'); insert into pcong values (5, 0);");
    ASSERT_EQ(std::system(("mount -o remount,ro " + mount.string()).c_str()), 0);
    Load(file);
    EXPECT_EQ(Cell(1), "5550");
    const std::string before = testing::ConfigSandbox::Read(file);
    form1->StringGrid1->SetCell(1, 2, "new");
    WriteToFile();
    EXPECT_EQ(Texts(), std::vector<std::string>{Refused(file)});
    EXPECT_EQ(testing::ConfigSandbox::Read(file), before);
    answers = {MessageResult::Yes};
    EXPECT_FALSE(CloseWindow());  // the save failed: the window stays open
}

}  // namespace
}  // namespace varnix
