#include "windows_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace varnix {

namespace {

std::string ExecutablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::string WindowsDirectory() {
    const char* windir = std::getenv("WINDIR");
    if (windir != nullptr && *windir != '\0') {
        return windir;
    }
    const std::string program = ExecutablePath();
    const std::string_view buildTree = VARNIX_BUILD_TREE;
    if (program.rfind(std::string(buildTree) + "/", 0) == 0) {
        return VARNIX_BUILD_DATA_DIR;
    }
    // Installed: <prefix>/bin/Project1 finds <prefix>/share/varnix.
    const std::filesystem::path programFolder = std::filesystem::path(program).parent_path();
    return (programFolder / VARNIX_DATA_FROM_BINDIR).lexically_normal().string();
}

std::string TemplatePath() {
    return WindowsDirectory() + "/zur.mdb";
}

}  // namespace varnix
