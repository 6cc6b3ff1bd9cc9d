// What stands against a load or a save before any file is opened, in the user's words; a
// name that is a link is judged by where it leads, for a save by the folder of its file.
#include "file_checks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config_sandbox.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

TEST(FileChecksTest, SourcesAndSaveTargetsAreJudgedWhereTheNameLeads) {
    testing::ConfigSandbox sandbox;
    const fs::path root = sandbox.Root();
    const auto path = [&](const char* name) { return (root / name).string(); };
    std::ofstream(root / "file.mdb") << "x";
    fs::create_symlink(root / "nothing", root / "broken.mdb");
    fs::create_directories(root / "shut");
    std::ofstream(root / "shut" / "inside.mdb") << "x";
    fs::create_symlink(root / "shut" / "inside.mdb", root / "to-inside.mdb");

    EXPECT_EQ(SourceFault(path("file.mdb")), "");
    EXPECT_EQ(SourceFault(path("new.mdb")), "the file does not exist");
    EXPECT_EQ(SaveTargetFault(path("new.mdb")), "");
    EXPECT_EQ(SaveTargetFault(path("no-folder/new.mdb")),
              "the folder " + path("no-folder") + " does not exist");
    for (const auto& check : {SourceFault, SaveTargetFault}) {
        EXPECT_EQ(check(path("broken.mdb")), "the name is a symbolic link that leads to nothing");
        EXPECT_EQ(check(path("shut")), "the name leads to a folder, not to a file");
    }
    fs::permissions(root / "shut" / "inside.mdb", fs::perms::owner_read);
    EXPECT_EQ(SaveTargetFault(path("to-inside.mdb")), "the file is read-only");
    fs::permissions(root / "shut" / "inside.mdb", fs::perms::owner_all);

    // Root writes into any folder: the scripts also run this suite as an unprivileged user.
    fs::permissions(root / "shut", fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) {
        const std::string denied = "this user may not write into the folder " + path("shut");
        EXPECT_EQ(SaveTargetFault(path("shut/new.mdb")), denied);
        EXPECT_EQ(SaveTargetFault(path("to-inside.mdb")), denied);
        EXPECT_EQ(SourceFault(path("to-inside.mdb")), "");
    }
    fs::permissions(root / "shut", fs::perms::owner_all);
}

}  // namespace
}  // namespace varnix
