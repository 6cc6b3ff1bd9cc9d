// What a COM name opens on Linux: the user's link first, then the COM number's
// /dev/ttyS device; a path stands for itself, anything else for nothing.
#include "port_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config_sandbox.h"

namespace varnix {
namespace {

TEST(PortNamesTest, LinksWinThenComNumbersThenPaths) {
    testing::ConfigSandbox sandbox;
    EXPECT_EQ(ResolvePortPath("COM3"), "/dev/ttyS2");
    EXPECT_EQ(ResolvePortPath("COM15"), "/dev/ttyS14");
    EXPECT_EQ(ResolvePortPath("/dev/pts/7"), "/dev/pts/7");
    for (const char* bad : {"", "COM", "COM0", "COM01", "COMx", "com3", "LPT1", "COM3 ", "a/b"}) {
        EXPECT_FALSE(ResolvePortPath(bad)) << bad;
    }
    std::filesystem::create_directories(PortLinkFolder());
    std::filesystem::create_symlink("/dev/pts/42", PortLinkFolder() + "/COM3");
    EXPECT_EQ(ResolvePortPath("COM3"), PortLinkFolder() + "/COM3");
    std::filesystem::create_symlink("/dev/pts/43", PortLinkFolder() + "/Bench");
    EXPECT_EQ(ResolvePortPath("Bench"), PortLinkFolder() + "/Bench");
}

}  // namespace
}  // namespace varnix
