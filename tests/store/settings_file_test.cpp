// The settings store on its own, without the window: a work file made from the template
// keeps what was saved, and a genuine Access file is read through the Jet reader, both
// under names outside the ANSI code page; what a load cannot show is noted and kept by a
// save; file errors are told in our words. This is the store's test in the Windows build.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "file_copy.h"
#include "jet_samples.h"
#include "jet_settings.h"
#include "load_notes.h"
#include "map_values.h"
#include "settings_file.h"
#include "sqlite_sql.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using Values = testing::MapValues;

using testing::Sql;

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("varnix-store-" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A UTF-8 path in the test's folder, its name outside the ANSI code page ("Жπ").
    std::string OutsideCodePage(const char* suffix) const {
        return folder_.string() + static_cast<char>(fs::path::preferred_separator) +
               "\xD0\x96\xCF\x80" + suffix;
    }

    fs::path folder_;
};

TEST_F(SettingsFileTest, WorkFileMadeFromTheTemplateKeepsWhatWasSaved) {
    const std::string work = OutsideCodePage(".mdb");
    ASSERT_TRUE(CopyFileNoOverwrite(VARNIX_TEMPLATE, work));

    Values saved;
    saved.phones = {{1, "0123456"}, {250, "7093"}, {500, "\u00e9\u00ff"}};
    saved.timeout = "42";
    saved.external = true;
    AdoQuery query;
    SaveSettings(query, work, saved);

    Values loaded;
    LoadSettings(query, work, loaded);
    for (int slot = 1; slot <= 500; ++slot) {
        EXPECT_EQ(loaded.PhoneText(slot), saved.PhoneText(slot)) << "slot " << slot;
    }
    EXPECT_EQ(loaded.timeout, "42");
    EXPECT_TRUE(loaded.external);
}

TEST_F(SettingsFileTest, AccessFileIsReadThroughTheJetReader) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const std::string copy = OutsideCodePage("-small.mdb");
    ASSERT_TRUE(CopyFileNoOverwrite((*samples / "settings_small.mdb").string(), copy));
    Values loaded;
    LoadJetSettings(copy, loaded);
    EXPECT_EQ(loaded.Filled(), (std::map<int, std::string>{{3, "333"}}));
    EXPECT_EQ(loaded.timeout, "5");
    EXPECT_TRUE(loaded.external);
}

TEST_F(SettingsFileTest, WorkFileRowsALoadCannotShowAreNotedAndKeptBySaves) {
    const std::string work = OutsideCodePage("-notes.mdb");
    Sql(work,
        "create table phone (id INTEGER, phone TEXT); insert into phone values (0, 'zero'),"
        " (501, 'beyond'), (9, 'nine'), (777, 'far'), (NULL, 'no id'), (4, 'first'),"
        " (9, 'nine again'), (4, 'second'), (4, 'third');");
    AdoQuery query;
    Values loaded;
    LoadNotes notes;
    LoadSettings(query, work, loaded, nullptr, &notes);
    EXPECT_EQ(loaded.Filled(), (std::map<int, std::string>{{4, "third"}, {9, "nine again"}}));
    EXPECT_EQ(loaded.timeout, "0");
    EXPECT_EQ(notes.idsOutside, (std::vector<std::int64_t>{0, 501, 777}));
    EXPECT_EQ(notes.nullIds, 1);
    EXPECT_EQ(notes.repeatedSlots, (std::vector<int>{4, 9}));
    EXPECT_TRUE(notes.noRelaySettings);

    // Without the relay settings table the file cannot take a save, and is left as it was.
    const auto rows = [&] { return Sql(work, "select id, phone from phone order by rowid"); };
    const std::vector<std::string> before = rows();
    try {
        SaveSettings(query, work, loaded);
        ADD_FAILURE() << "saved without a pcong table";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.Reason(), "the file has no table pcong, which holds the relay settings");
    }
    EXPECT_EQ(rows(), before);

    Sql(work, "create table pcong (time INTEGER, rec INTEGER);");
    loaded.phones = {{4, "four"}, {10, "ten"}};
    SaveSettings(query, work, loaded);
    EXPECT_EQ(rows(), (std::vector<std::string>{"0|zero", "501|beyond", "777|far", "NULL|no id",
                                                "4|four", "10|ten"}));
}

TEST_F(SettingsFileTest, FileErrorsNameTheFileAndSayWhyInOurWords) {
    const std::string missing = OutsideCodePage("-missing.mdb");
    const std::string text = OutsideCodePage("-text.mdb");
    const std::string empty = OutsideCodePage("-empty.mdb");
    std::ofstream(fs::path(std::u8string(text.begin(), text.end()))) << "some text, no database";
    std::ofstream{fs::path(std::u8string(empty.begin(), empty.end()))};
    const std::map<std::string, std::string> reasons = {
        {missing, "the file does not exist"},
        {text,
         "the file is not a settings file: it is neither an Access database nor a work file of "
         "an earlier Varnix"},
        {empty, "the file is empty"}};
    AdoQuery query;
    for (const auto& [file, reason] : reasons) {
        Values values;
        try {
            LoadSettings(query, file, values);
            ADD_FAILURE() << file << " loaded";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.what(), file + ": " + reason);
        }
        try {
            SaveSettings(query, file, values);
            ADD_FAILURE() << file << " saved";
        } catch (const FileRefused& refused) {
            EXPECT_EQ(refused.Path(), file);
            EXPECT_EQ(refused.Reason(), reason);
        }
    }
    EXPECT_FALSE(fs::exists(fs::path(std::u8string(missing.begin(), missing.end()))));

    // A work file another program is writing.
    const std::string work = OutsideCodePage("-busy.mdb");
    Sql(work, "create table phone (id INTEGER, phone TEXT); create table pcong (time, rec);");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(work.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        SaveSettings(query, work, Values());
        ADD_FAILURE() << "saved into a locked file";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.Reason(), "another program is using the file (it is locked)");
    }
    sqlite3_exec(writer, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
}

}  // namespace
}  // namespace varnix
