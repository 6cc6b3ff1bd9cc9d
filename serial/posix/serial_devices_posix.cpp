#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "port_names.h"
#include "serial_devices.h"

namespace varnix {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The product of a USB adapter: the USB device above the tty's own device names it.
std::string UsbProduct(const fs::path& classEntry) {
    std::error_code code;
    fs::path device = fs::canonical(classEntry / "device", code);
    for (int up = 0; !code && up < 4 && device.has_relative_path(); ++up) {
        const std::string product = FirstLine(device / "product");
        if (!product.empty()) {
            const std::string maker = FirstLine(device / "manufacturer");
            return maker.empty() || StartsWith(product, maker.c_str()) ? product
                                                                       : maker + " " + product;
        }
        device = device.parent_path();
    }
    return {};
}

// A ttyS node stands for a UART only when the serial driver found one there; the
// driver reports type 0 for a port with nothing behind it.
bool HasUart(const fs::path& classEntry) {
    const std::string type = FirstLine(classEntry / "type");
    return !type.empty() && type != "0";
}

// Orders ttyS2 before ttyS10.
bool NodeBefore(const std::string& a, const std::string& b) {
    const auto digits = [](const std::string& s) { return s.find_first_of("0123456789"); };
    const auto da = digits(a), db = digits(b);
    if (da == std::string::npos || db == std::string::npos || a.compare(0, da, b, 0, db) != 0) {
        return a < b;
    }
    return std::make_pair(a.size(), a) < std::make_pair(b.size(), b);
}

bool BuiltInNode(const std::string& node) {
    return StartsWith(fs::path(node).filename().string(), "ttyS");
}

}  // namespace

std::vector<SerialDevice> FindSerialDevices(const std::string& root) {
    std::vector<SerialDevice> found;
    std::error_code code;
    const fs::path classDir = root + "/sys/class/tty";
    for (const auto& entry : fs::directory_iterator(root + "/dev", code)) {
        const std::string name = entry.path().filename().string();
        const bool adapter = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
        if (!adapter && !(StartsWith(name, "ttyS") && HasUart(classDir / name))) {
            continue;
        }
        const std::string product =
            adapter ? UsbProduct(classDir / name) : std::string("built-in serial port");
        found.push_back({"/dev/" + name, "/dev/" + name, product});
    }
    std::sort(found.begin(), found.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return NodeBefore(a.node, b.node);
    });

    // The by-id names stay the same when the adapter is plugged in elsewhere: link those.
    for (const auto& entry : fs::directory_iterator(root + "/dev/serial/by-id", code)) {
        std::error_code ignored;
        const fs::path target = fs::canonical(entry.path(), ignored);
        for (SerialDevice& device : found) {
            if (!ignored && target == fs::canonical(root + device.node, ignored)) {
                device.path = "/dev/serial/by-id/" + entry.path().filename().string();
            }
        }
    }
    return found;
}

PortRoute RoutePort(const std::string& name, const std::vector<SerialDevice>& found,
                    const std::string& root) {
    PortRoute route;
    const auto resolved = ResolvePortPath(name);
    if (!resolved) {
        return route;
    }
    fs::path device = root + *resolved;
    route.path = *resolved;
    const std::string link = PortLinkFolder() + "/" + name;
    std::error_code code;
    if (*resolved == link) {
        route.linked = true;
        route.path = fs::read_symlink(link, code).string();
        device = route.path.empty() || route.path[0] != '/'
                     ? fs::path(PortLinkFolder()) / route.path
                     : fs::path(root + route.path);
    }
    const fs::path node = fs::canonical(device, code);
    if (code) {
        return route;
    }
    for (const SerialDevice& candidate : found) {
        std::error_code ignored;
        if (node == fs::canonical(root + candidate.node, ignored)) {
            route.present = true;
            route.product = candidate.product;
            return route;
        }
    }
    // Something else that is there: a device of another kind, or a pseudo-terminal.
    route.present = !BuiltInNode(node.string());
    return route;
}

bool CanLinkPorts() {
    return true;
}

bool LinkPort(const std::string& name, const std::string& target, std::string& error) {
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') {
        error = "not a port name: \"" + name + "\"";
        return false;
    }
    const std::string link = PortLinkFolder() + "/" + name;
    if (target.empty()) {
        if (unlink(link.c_str()) != 0 && errno != ENOENT) {
            error = link + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    std::error_code code;
    fs::create_directories(PortLinkFolder(), code);
    // Made beside it and renamed over it, so the name always leads somewhere whole.
    const std::string fresh = PortLinkFolder() + "/." + name + ".new-" + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace varnix
