// Work files of an earlier Varnix (SQLite) through LoadSettings and SaveSettings: which
// rows a save writes and updates, names the connection string could misread, and saves
// that a lock or a full file system refuses, leaving the file as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config_sandbox.h"
#include "map_values.h"
#include "settings_file.h"
#include "sqlite_sql.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using testing::ConfigSandbox;
using testing::Sql;
using Values = testing::MapValues;

class WorkFileTest : public ::testing::Test {
  protected:
    // A work file with the two tables, filled by `rows` (SQL).
    fs::path NewFile(const std::string& name, const std::string& rows = "") {
        const fs::path file = sandbox.Root() / name;
        Sql(file,
            "create table phone (id INTEGER, phone TEXT); create table pcong (time INTEGER, "
            "rec INTEGER);" +
                rows);
        return file;
    }
    Values Load(const fs::path& file) {
        Values values;
        LoadSettings(query, file.string(), values);
        return values;
    }
    void Save(const fs::path& file, const Values& values) {
        SaveSettings(query, file.string(), values);
    }

    ConfigSandbox sandbox;
    AdoQuery query;
};

TEST_F(WorkFileTest, OnlyFilledSlotsAreWrittenInRisingOrder) {
    const fs::path file =
        NewFile("rows.mdb",
                "insert into phone values (3, 'old'); insert into pcong values (5, "
                "1), (6, 0);");
    Values values = Load(file);
    values.phones[300] = "300";
    values.phones[7] = "7";
    values.timeout = "42";
    Save(file, values);
    EXPECT_EQ(Sql(file, "select id, phone from phone"),
              (std::vector<std::string>{"3|old", "7|7", "300|300"}));
    // The first pcong row is updated, the others are left alone.
    EXPECT_EQ(Sql(file, "select time, rec from pcong"), (std::vector<std::string>{"42|1", "6|0"}));

    Save(file, Values{});  // all slots empty, time-out 0
    EXPECT_TRUE(Sql(file, "select * from phone").empty());
    EXPECT_EQ(Sql(file, "select time, rec from pcong").front(), "0|0");

    Sql(file, "delete from pcong");
    Save(file, Values{});
    EXPECT_EQ(Sql(file, "select time, rec from pcong"), std::vector<std::string>{"0|0"});
}

// The first pcong row is updated in place however the table keeps its rows.
TEST_F(WorkFileTest, SaveUpdatesTheFirstSettingsRowItRead) {
    for (const char* schema :
         {"create table pcong (time INTEGER, rec INTEGER); insert into pcong (rowid, time, rec)"
          " values (0, 5, 0), (1, 6, 0);",
          "create table pcong (time INTEGER, rec INTEGER, primary key (time)) without rowid;"
          " insert into pcong values (5, 0), (6, 0);"}) {
        const fs::path file = sandbox.Root() / "first.mdb";
        fs::remove(file);
        Sql(file, std::string("create table phone (id INTEGER, phone TEXT);") + schema);
        Values values = Load(file);
        values.timeout = "4";
        values.external = true;
        Save(file, values);
        EXPECT_EQ(Sql(file, "select time, rec from pcong order by time"),
                  (std::vector<std::string>{"4|1", "6|0"}))
            << schema;
    }
}

// The save reads the time-out as the range rule does, and refuses what the rule refuses
// before anything is written.
TEST_F(WorkFileTest, SaveTakesTheTimeoutAsTheRangeRuleReadsIt) {
    const fs::path file = NewFile("number.mdb", "insert into pcong values (9, 0);");
    Values values = Load(file);
    values.timeout = "+-5";
    EXPECT_THROW(Save(file, values), DatabaseError);
    EXPECT_EQ(Sql(file, "select time from pcong"), std::vector<std::string>{"9"});
    values.timeout = "\v7 ";
    Save(file, values);
    EXPECT_EQ(Sql(file, "select time from pcong"), std::vector<std::string>{"7"});
}

TEST_F(WorkFileTest, NameWithSemicolonIsTheFileLoadedAndSaved) {
    const fs::path file = NewFile("site;b.mdb",
                                  "insert into phone values (3, '333'); insert into pcong values "
                                  "(5, 0);");
    Values values = Load(file);
    EXPECT_EQ(values.Filled(), (std::map<int, std::string>{{3, "333"}}));
    values.phones[4] = "four";
    Save(file, values);
    EXPECT_EQ(Sql(file, "select id from phone"), (std::vector<std::string>{"3", "4"}));
    EXPECT_FALSE(fs::exists(sandbox.Root() / "site"));
}

TEST_F(WorkFileTest, FileLockedByAnotherWriterIsLeftAlone) {
    const fs::path file = NewFile("locked.mdb", "insert into phone values (1, '5550');");
    Values values = Load(file);
    values.phones[2] = "new";
    const std::string before = ConfigSandbox::Read(file);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_THROW(Save(file, values), FileRefused);
    sqlite3_exec(writer, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    EXPECT_EQ(ConfigSandbox::Read(file), before);
    Save(file, values);
    EXPECT_EQ(Sql(file, "select id from phone"), (std::vector<std::string>{"1", "2"}));
}

TEST_F(WorkFileTest, FullFileSystemLeavesTheFileAsItWas) {
    const fs::path small = sandbox.Root() / "small";
    fs::create_directories(small);
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=96k varnix-test " + small.string() + " 2>/dev/null")
                        .c_str()) != 0) {
        GTEST_SKIP() << "needs root and tmpfs mounts";
    }
    struct Unmount {
        fs::path dir;
        ~Unmount() { std::system(("umount -l " + dir.string()).c_str()); }
    } unmount{small};
    const fs::path file = small / "full.mdb";
    Sql(file,
        "create table phone (id INTEGER, phone TEXT); create table pcong (time INTEGER, rec "
        "INTEGER); insert into phone values (1, '5550'); insert into pcong values (5, 0);");
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    Values values = Load(file);
    for (int slot = 1; slot <= 500; ++slot) {
        values.phones[slot] = "+3859" + std::to_string(slot * 7919);
    }
    const std::string before = ConfigSandbox::Read(file);
    EXPECT_THROW(Save(file, values), FileRefused);
    EXPECT_EQ(ConfigSandbox::Read(file), before);
    fs::remove(small / "filler");
    Save(file, values);
    EXPECT_EQ(Sql(file, "select count(*) from phone"), std::vector<std::string>{"500"});
}

}  // namespace
}  // namespace varnix
