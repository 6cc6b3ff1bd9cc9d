// The command line as words: options anywhere and in both spellings, each refused where
// it does not belong, port names checked, and which arguments ask for the window.
#include "command_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace varnix {
namespace {

CommandOptions Parse(std::vector<const char*> words) {
    words.insert(words.begin(), "Project1");
    return ParseCommandOptions(static_cast<int>(words.size()), words.data());
}

TEST(CommandOptionsTest, OptionsStandAnywhereInEitherSpelling) {
    const CommandOptions write = Parse({"--timeout=900", "write", "-p", "com3", "in.csv",
                                        "--external-disconnect", "off", "--verify", "-q"});
    EXPECT_EQ(write.command, "write");
    EXPECT_EQ(write.arguments, std::vector<std::string>{"in.csv"});
    EXPECT_EQ(write.port, "COM3");
    EXPECT_EQ(write.timeoutMs, 900);
    EXPECT_EQ(write.externalDisconnect, false);
    EXPECT_TRUE(write.verify && write.quiet && !write.allowEmpty && !write.json);

    // After "--" a word starting with "-" is a file; "-" is standard input or output.
    EXPECT_EQ(Parse({"convert", "--", "-a.csv", "--json"}).arguments,
              (std::vector<std::string>{"-a.csv", "--json"}));
    EXPECT_EQ(Parse({"convert", "-", "-"}).arguments, (std::vector<std::string>{"-", "-"}));

    const CommandOptions link = Parse({"ports", "--link", "com15", "/dev/ttyUSB0"});
    ASSERT_TRUE(link.link);
    EXPECT_EQ(link.link->name, "COM15");
    EXPECT_EQ(link.link->device, "/dev/ttyUSB0");
    EXPECT_EQ(Parse({"ports", "--unlink=COM2"}).unlink, "COM2");
    EXPECT_EQ(Parse({"show", "--port", "auto"}).port, kAutoPort);
}

TEST(CommandOptionsTest, OptionsAreRefusedWhereTheyDoNotBelong) {
    for (const std::vector<const char*>& words : std::vector<std::vector<const char*>>{
             {"read", "x.mdb", "--port"},
             {"read", "x.mdb", "--port", "COM0"},
             {"write", "x.csv", "--external-disconnect", "yes"},
             {"show", "--timeout", "100"},
             {"password", "--external-disconnect", "on"},
             {"convert", "a.mdb", "b.csv", "-p", "COM1"},
             {"ports", "-p", "COM1"},
             {"write", "x.csv", "--json"},
             {"show", "--link", "COM3", "/dev/ttyS0"},
             {"ports", "--link", "COM3"},
             {"ports", "--link", "COM3", "/dev/ttyS0", "--unlink", "COM4"},
             {"ports", "--unlink", "auto"},
             {"password", "1234", "-p", "auto"},
             {"read", "--verify", "x.mdb"},
             {"compare", "--allow-empty", "x.mdb"},
         }) {
        EXPECT_THROW(Parse(words), UsageError) << ::testing::PrintToString(words);
    }
}

// One existing file alone opens the window with it; Qt's own options and their values are
// no command, but any word of ours is.
TEST(CommandOptionsTest, ArgumentsThatAskForTheWindow) {
    const auto file = std::filesystem::temp_directory_path() / "varnix-command-options.mdb";
    std::ofstream(file) << "x";
    const std::string name = file.string();
    const auto open = [](std::vector<const char*> words) {
        words.insert(words.begin(), "Project1");
        return std::pair{FileToOpen(static_cast<int>(words.size()), words.data()),
                         NamesCommand(static_cast<int>(words.size()), words.data())};
    };
    EXPECT_EQ(open({}), std::pair(std::optional<std::string>(), false));
    EXPECT_EQ(open({"-platform", "offscreen"}), std::pair(std::optional<std::string>(), false));
    EXPECT_EQ(open({"-style", "fusion", name.c_str()}), std::pair(std::optional(name), true));
    EXPECT_EQ(open({name.c_str(), "-q"}), std::pair(std::optional<std::string>(), true));
    EXPECT_EQ(open({"show", name.c_str()}), std::pair(std::optional<std::string>(), true));
    EXPECT_EQ(open({"--json"}), std::pair(std::optional<std::string>(), true));
    EXPECT_EQ(open({"-"}), std::pair(std::optional<std::string>(), true));
    std::filesystem::remove(file);
    EXPECT_EQ(open({name.c_str()}), std::pair(std::optional<std::string>(), true));
}

}  // namespace
}  // namespace varnix
