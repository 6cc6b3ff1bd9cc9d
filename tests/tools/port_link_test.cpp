// A COM name linked to the device's pseudo-terminal, and put back afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "port_link.h"
#include "port_names.h"

namespace varnix {
namespace {

TEST(PortLinkTest, LinksThePortAndPutsBackWhatWasThere) {
    const auto folder = std::filesystem::temp_directory_path() / "varnix_port_link_test";
    std::filesystem::remove_all(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::filesystem::create_directories(PortLinkFolder());
    std::filesystem::create_symlink("/dev/earlier", PortLinkFolder() + "/COM4");
    {
        PortLink link;
        std::string error;
        ASSERT_TRUE(link.Create("COM4", "/dev/pts/99", error)) << error;
        EXPECT_EQ(ResolvePortPath("COM4"), PortLinkFolder() + "/COM4");
        EXPECT_EQ(std::filesystem::read_symlink(PortLinkFolder() + "/COM4"), "/dev/pts/99");
        EXPECT_FALSE(link.Create("../x", "/dev/null", error));
    }
    EXPECT_EQ(std::filesystem::read_symlink(PortLinkFolder() + "/COM4"), "/dev/earlier");
    {
        PortLink link;
        std::string error;
        ASSERT_TRUE(link.Create("COM9", "/dev/pts/98", error));
    }
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(PortLinkFolder() + "/COM9")));
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace varnix
