#include "port_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "port_names.h"

namespace varnix {

bool PortLink::Create(const std::string& portName, const std::string& target, std::string& error) {
    if (portName.empty() || portName.find('/') != std::string::npos || portName[0] == '.') {
        error = "not a port name: \"" + portName + "\"";
        return false;
    }
    std::error_code code;
    std::filesystem::create_directories(PortLinkFolder(), code);
    const std::string link = PortLinkFolder() + "/" + portName;
    const std::string saved =
        PortLinkFolder() + "/." + portName + ".before-" + std::to_string(getpid());
    const bool hadOne =
        std::filesystem::symlink_status(link, code).type() != std::filesystem::file_type::not_found;
    if (hadOne && std::rename(link.c_str(), saved.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        return false;
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        if (hadOne) {
            std::rename(saved.c_str(), link.c_str());
        }
        return false;
    }
    linkPath_ = link;
    savedPath_ = hadOne ? saved : "";
    return true;
}

void PortLink::Remove() {
    if (linkPath_.empty()) {
        return;
    }
    unlink(linkPath_.c_str());
    if (!savedPath_.empty()) {
        std::rename(savedPath_.c_str(), linkPath_.c_str());
    }
    linkPath_.clear();
    savedPath_.clear();
}

}  // namespace varnix
