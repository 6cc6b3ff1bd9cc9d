#include "session_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config_sandbox.h"
#include "sqlite_sql.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using testing::Sql;

// The save policy without any window: a refused file goes to the front end's answer, the
// file saved into becomes the work file, and a failure names the file that was tried.
TEST(SessionFilesTest, ARefusedSaveGoesToTheFileTheFrontEndGives) {
    const fs::path folder = fs::temp_directory_path() / "varnix-session-files";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string junk = (folder / "junk.mdb").string();
    std::ofstream(junk) << "not a settings file";
    const std::string other = (folder / "other.mdb").string();
    Sql(other,
        "create table phone (id INTEGER, phone TEXT); create table pcong (time INTEGER, rec "
        "INTEGER);");

    SessionFiles files;
    std::vector<std::string> shown;
    files.SetWorkFileListener([&](const std::string& path) { shown.push_back(path); });
    ConfigRecord values;
    values.SetPhoneText(3, "333");
    values.SetTimeoutText("5");
    std::vector<std::string> refused;
    const auto answer = [&](const std::string& file) {
        return [&refused, file](const FileRefused& refusal) -> std::optional<std::string> {
            refused.push_back(refusal.Path());
            return file.empty() ? std::nullopt : std::optional<std::string>(file);
        };
    };

    EXPECT_EQ(files.Save(junk, values, answer(other)), other);
    EXPECT_EQ(refused, std::vector<std::string>{junk});
    EXPECT_EQ(files.WorkFile(), other);
    EXPECT_EQ(shown, std::vector<std::string>{other});
    EXPECT_EQ(Sql(other, "select id, phone from phone"), std::vector<std::string>{"3|333"});
    EXPECT_EQ(testing::ConfigSandbox::Read(junk), "not a settings file");

    // Given up: nothing is saved, and the work file stays.
    refused.clear();
    EXPECT_EQ(files.Save(junk, values, answer("")), std::nullopt);
    EXPECT_EQ(refused, std::vector<std::string>{junk});
    EXPECT_EQ(files.WorkFile(), other);

    // A failure other than a refusal names the file it happened in, the one given instead.
    const std::string unwritable = (folder / "no-folder" / "list.csv").string();
    try {
        files.Save(junk, values, answer(unwritable));
        ADD_FAILURE() << "saved into " << unwritable;
    } catch (const FileNotSaved& error) {
        EXPECT_EQ(error.Path(), unwritable);
        EXPECT_TRUE(std::string(error.what()).starts_with(unwritable + ": ")) << error.what();
    }
    EXPECT_EQ(files.WorkFile(), other);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace varnix
