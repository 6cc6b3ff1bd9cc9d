// Points the per-user configuration folder at a fresh temporary folder for one test. On
// Windows the folder is only scratch space: the settings live in the registry there.
#pragma once

#include <chrono>
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
                ("varnix-config-" + std::to_string(Stamp()) + "-" + std::to_string(++count_));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        SetConfigHome(root_.string());
    }
    ~ConfigSandbox() {
        SetConfigHome("");
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
    // Told apart from other test processes by the start time (nanoseconds).
    static long long Stamp() {
        static const long long stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        return stamp;
    }
    // An empty folder removes the setting.
    static void SetConfigHome(const std::string& folder) {
#ifdef _WIN32
        _putenv_s("XDG_CONFIG_HOME", folder.c_str());
#else
        if (folder.empty()) {
            unsetenv("XDG_CONFIG_HOME");
        } else {
            setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        }
#endif
    }

    inline static int count_ = 0;
    std::filesystem::path root_;
};

}  // namespace varnix::testing
