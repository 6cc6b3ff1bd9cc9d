#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "port_names.h"
#include "serial_devices.h"

namespace varnix {

namespace {

// "COM3" -> 3; anything else sorts after every numbered name.
unsigned long PortNumber(const std::string& name) {
    return name.rfind("COM", 0) == 0 ? std::strtoul(name.c_str() + 3, nullptr, 10) : ~0UL;
}

}  // namespace

// The ports present are the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, which the
// serial drivers fill in with the names of the ports they run ("COM3").
std::vector<SerialDevice> FindSerialDevices(const std::string&) {
    std::vector<SerialDevice> found;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return found;
    }
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof valueName;
        char data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG status = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize] = '\0';
        const std::string name(data);
        if (!name.empty()) {
            found.push_back({name, ResolvePortPath(name).value_or(name), {}});
        }
    }
    RegCloseKey(key);
    std::sort(found.begin(), found.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return std::make_pair(PortNumber(a.path), a.path) <
               std::make_pair(PortNumber(b.path), b.path);
    });
    return found;
}

PortRoute RoutePort(const std::string& name, const std::vector<SerialDevice>& found,
                    const std::string&) {
    PortRoute route;
    route.path = ResolvePortPath(name).value_or("");
    route.present = std::any_of(found.begin(), found.end(),
                                [&](const SerialDevice& device) { return device.path == name; });
    return route;
}

bool CanLinkPorts() {
    return false;
}

bool LinkPort(const std::string& name, const std::string&, std::string& error) {
    error = "on Windows the port name " + name + " is the device's own and is not linked";
    return false;
}

}  // namespace varnix
