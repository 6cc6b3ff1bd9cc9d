#include "port_texts.h"

namespace varnix {

namespace {

using Problem = PortDiagnosis::Problem;

std::string DeviceLine(const SerialDevice& device) {
    return device.product.empty() ? device.path : device.path + " (" + device.product + ")";
}

std::string HowToLink(const std::string& name, const std::vector<SerialDevice>& found) {
    if (!CanLinkPorts()) {
        if (found.empty()) {
            return "No serial port was found. Plug in an adapter, then choose its port in "
                   "\"Configure Port...\" and press OK.";
        }
        std::string text = "Serial ports found:";
        for (const SerialDevice& device : found) {
            text += " " + device.path;
        }
        return text + "\nChoose the device's port in \"Configure Port...\" and press OK.";
    }
    if (found.empty()) {
        return "No serial device was found. Plug in an adapter, then right-click " + name +
               " in \"Configure Port...\" to link it.";
    }
    std::string text = "Serial devices found:";
    for (const SerialDevice& device : found) {
        text += "\n  " + DeviceLine(device);
    }
    return text + "\nRight-click " + name + " in \"Configure Port...\" and choose one to link it.";
}

}  // namespace

std::string OpenFailureDetail(const std::string& name, const PortDiagnosis& diagnosis,
                              const std::vector<SerialDevice>& found) {
    if (diagnosis.problem == Problem::NoName) {
        return "No port is chosen. Choose one in \"Configure Port...\" and press OK.";
    }
    std::string text =
        "Device: " + diagnosis.path + (diagnosis.linked ? " (linked as " + name + ")" : "") + "\n";
    if (!diagnosis.reason.empty()) {
        text += "Reason: " + diagnosis.reason + "\n";
    }
    text += "\n";
    switch (diagnosis.problem) {
        case Problem::Missing:
            return text + "The device is not there. " + HowToLink(name, found);
        case Problem::NoHardware:
            return text + "No serial port hardware is behind this device. " +
                   HowToLink(name, found);
        case Problem::Permission:
            if (diagnosis.group.empty()) {
                return text + "Your account may not open the device.";
            }
            if (diagnosis.inGroupLater) {
                return text + "Your account is in the group \"" + diagnosis.group +
                       "\" that owns the device, but this session began before: log out and "
                       "in again.";
            }
            return text + "The device belongs to the group \"" + diagnosis.group +
                   "\". Add your account to it, then log out and in again:\n  sudo usermod -a -G " +
                   diagnosis.group + " " + (diagnosis.user.empty() ? "$USER" : diagnosis.user);
        case Problem::Busy:
            return text +
                   "Another program holds the port. Close it (or the other Varnix "
                   "window) and try again.";
        case Problem::None:
            return text + "The device opens now: try again.";
        default:
            return text + "Check the cable and the adapter, then try again.";
    }
}

}  // namespace varnix
