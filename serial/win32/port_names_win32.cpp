#include "port_names.h"

namespace varnix {

bool IsDevicePathName(const std::string&) {
    return false;
}

std::optional<std::string> ResolvePortPath(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    // The device namespace: "COM10" and above open only this way, and COM1 to COM9 too.
    return "\\\\.\\" + name;
}

}  // namespace varnix
