#include "port_names.h"

#include <sys/stat.h>

#include <charconv>

#include "config_folder.h"

namespace varnix {

namespace {

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// "COM" followed by a decimal number from 1 on, without a leading zero.
std::optional<int> ComNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name[3] == '0') {
        return std::nullopt;
    }
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [last, error] = std::from_chars(name.data() + 3, end, number);
    if (error != std::errc() || last != end || number < 1) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string PortLinkFolder() {
    return ConfigFolder() + "/ports";
}

bool IsDevicePathName(const std::string& name) {
    return !name.empty() && name[0] == '/';
}

std::optional<std::string> ResolvePortPath(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.front() == '/') {
        return name;
    }
    if (name.find('/') == std::string::npos && name != "." && name != "..") {
        const std::string link = PortLinkFolder() + "/" + name;
        if (PathExists(link)) {
            return link;
        }
    }
    if (const auto number = ComNumber(name)) {
        return "/dev/ttyS" + std::to_string(*number - 1);
    }
    return std::nullopt;
}

}  // namespace varnix
