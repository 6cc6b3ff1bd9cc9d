#include <gtest/gtest.h>

#include <QCloseEvent>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>

#include "jet_samples.h"
#include "main_window_fixture.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

class MainWindowAccessTest : public testing::MainWindowFixture {
  protected:
    MainWindowAccessTest() {
        folder = sandbox.Root() / "files";
        fs::create_directories(folder);
        form1->Dialogs().SetAnswerer([this](const FileRequest&) {
            std::optional<std::string> answer;
            if (!nextFiles.empty()) {
                answer = nextFiles.front();
                nextFiles.pop_front();
            }
            return answer;
        });
    }
    // A writable copy of a sample, under any name.
    fs::path Copy(const fs::path& samples, const std::string& sample, const std::string& name) {
        const fs::path file = folder / name;
        fs::copy_file(samples / sample, file);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        return file;
    }
    void Load(const fs::path& file) {
        messages.clear();
        nextFiles = {file.string()};
        LoadFromFile();
        QCoreApplication::processEvents();
    }
    std::vector<std::string> Slots() const {
        std::vector<std::string> filled;
        for (int slot = 1; slot <= 500; ++slot) {
            if (!Cell(slot).empty()) {
                filled.push_back(std::to_string(slot) + "=" + Cell(slot));
            }
        }
        return filled;
    }

    fs::path folder;
    std::deque<std::string> nextFiles;  // the answers of the file dialogs, in turn
};

TEST_F(MainWindowAccessTest, EverySampleLoadsAsItsTablesSay) {
    VARNIX_NEED_JET_SAMPLES(samples);
    struct Expected {
        const char* sample;
        std::vector<std::string> filled;
        const char* timeout;
        bool ticked;
        const char* error;
        bool noted = false;  // a message says what the window cannot show as it stands
    };
    std::vector<std::string> full;
    for (int slot = 1; slot <= 500; ++slot) {
        char number[16];
        std::snprintf(number, sizeof number, "+361234567%03d", slot);
        full.push_back(std::to_string(slot) + "=" + number);
    }
    const char* const kNoPhone = "the file holds no table phone, so it is not a settings file.";
    const Expected expected[] = {
        {"settings_empty.mdb", {}, "0", false, nullptr},
        {"settings_small.mdb", {"3=333"}, "5", true, nullptr},
        {"settings_full500.mdb", full, "1000", true, nullptr},
        {"settings_edge_ids.mdb", {"2=two"}, "-5", false, nullptr, true},
        {"settings_no_pcong.mdb", {"1=111"}, "0", false, nullptr, true},
        {"generic_access97_jet3.mdb", {}, "0", false, kNoPhone},
        {"generic_access2000_jet4.mdb", {}, "0", false, kNoPhone},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.sample);
        // Told apart by its first bytes: the name says nothing.
        const fs::path file = Copy(*samples, e.sample, std::string(e.sample) + ".txt");
        form1->StringGrid1->SetCell(1, 9, "stale");
        form1->CheckBox1->setChecked(true);
        Load(file);
        EXPECT_EQ(Slots(), e.filled);
        EXPECT_EQ(form1->Edit1->text().toStdString(), e.timeout);
        EXPECT_EQ(form1->CheckBox1->isChecked(), e.ticked);
        EXPECT_EQ(form1->Label3->text().toStdString(), file.string());
        std::vector<std::string> texts;
        if (e.error) {
            texts.push_back(file.string() + ": " + e.error);
        } else if (e.noted) {
            texts.push_back("Not all of " + file.string() + " is shown as it stands.");
        }
        EXPECT_EQ(Texts(), texts);
    }
}

TEST_F(MainWindowAccessTest, DamagedOrNewerAccessFilesAreReportedAndLoadNothing) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path cut = Copy(*samples, "settings_full500.mdb", "cut.mdb");
    fs::resize_file(cut, 100 * 1024);
    form1->StringGrid1->SetCell(1, 4, "stale");
    Load(cut);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.rfind(cut.string() + ": the Access file is damaged: ", 0), 0u)
        << messages[0].text;
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(Slots(), std::vector<std::string>{});
    EXPECT_EQ(form1->Label3->text().toStdString(), cut.string());

    // An Access 2007 file carries another name at the same place.
    const fs::path ace = Copy(*samples, "settings_small.mdb", "new.accdb");
    {
        std::fstream out(ace, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(4);
        out.write("Standard ACE DB", 15);
    }
    Load(ace);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("newer Microsoft Access"), std::string::npos)
        << messages[0].text;
    EXPECT_EQ(Slots(), std::vector<std::string>{});
}

TEST_F(MainWindowAccessTest, EditsStayInTheAccessFileAndARefusedOneOffersANewFile) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path file = Copy(*samples, "write_compressed_text.mdb", "texts.mdb");
    Load(file);
    EXPECT_EQ(Cell(2), "B\u00e1lint +36 1 555");
    EXPECT_EQ(Cell(4), "\u03a9mega 555-0004");
    form1->StringGrid1->SetCell(1, 7, "5551234");
    form1->Edit1->setText("45");
    messages.clear();
    WriteToFile();
    QCoreApplication::processEvents();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Saved successfully"});
    ClearAll();
    Load(file);
    EXPECT_EQ(Cell(7), "5551234");
    EXPECT_EQ(Cell(2), "B\u00e1lint +36 1 555");
    EXPECT_EQ(form1->Edit1->text().toStdString(), "45");

    // Open elsewhere: the file and the reason, then the save dialog for a new file; the
    // first new file is open elsewhere too, so the dialog comes again.
    std::ofstream(folder / "texts.ldb").put('x');
    std::ofstream(folder / "taken.ldb").put('x');
    const std::string before = testing::ConfigSandbox::Read(file);
    form1->StringGrid1->SetCell(1, 8, "888");
    messages.clear();
    nextFiles = {(folder / "taken").string(), (folder / "kept").string()};
    WriteToFile();
    QCoreApplication::processEvents();
    const fs::path taken = folder / "taken.mdb";
    ASSERT_EQ(Texts(), (std::vector<std::string>{"Varnix cannot save into " + file.string() + ".",
                                                 "Varnix cannot save into " + taken.string() + ".",
                                                 "Saved successfully"}));
    EXPECT_NE(messages[0].detail.find("texts.ldb"), std::string::npos) << messages[0].detail;
    EXPECT_EQ(testing::ConfigSandbox::Read(file), before);
    const fs::path kept = folder / "kept.mdb";
    EXPECT_EQ(form1->Label3->text().toStdString(), kept.string());

    // Closing saves into the new work file.
    form1->StringGrid1->SetCell(1, 9, "999");
    messages.clear();
    answers = {MessageResult::Yes, MessageResult::Ok};
    QCloseEvent event;
    QCoreApplication::sendEvent(form1.get(), &event);
    QCoreApplication::processEvents();
    EXPECT_TRUE(event.isAccepted());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"save data", "Data saved successfully"}));
    ClearAll();
    Load(kept);
    EXPECT_EQ(Cell(9), "999");
    EXPECT_EQ(Cell(2), "B\u00e1lint +36 1 555");
}

}  // namespace
}  // namespace varnix
