// Points the per-user configuration folder at a fresh temporary folder for one test.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace varnix::testing {

class ConfigSandbox {
  public:
    ConfigSandbox() {
        root_ = std::filesystem::temp_directory_path() /
                ("varnix-config-" + std::to_string(::getpid()) + "-" + std::to_string(++count_));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    ~ConfigSandbox() {
        unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::permissions(Folder(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    std::filesystem::path Folder() const { return root_ / "ZUR"; }
    std::filesystem::path Root() const { return root_; }

    static std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteHive(const std::string& text) const {
        std::filesystem::create_directories(Folder());
        std::ofstream(Folder() / "user.reg", std::ios::binary) << text;
    }

  private:
    inline static int count_ = 0;
    std::filesystem::path root_;
};

}  // namespace varnix::testing
