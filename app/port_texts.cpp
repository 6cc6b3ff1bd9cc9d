#include "port_texts.h"

namespace varnix {

namespace {

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

std::string OpenFailureDetail(const std::string& name, const PortOpenError& cause,
                              const std::vector<SerialDevice>& found) {
    if (cause.fault == PortOpenFault::NoName) {
        return "No port is chosen. Choose one in \"Configure Port...\" and press OK.";
    }
    std::string text =
        "Device: " + cause.path + (cause.linked ? " (linked as " + name + ")" : "") + "\n";
    if (!cause.reason.empty()) {
        text += "Reason: " + cause.reason + "\n";
    }
    text += "\n";
    switch (cause.fault) {
        case PortOpenFault::Missing:
            return text + "The device is not there. " + HowToLink(name, found);
        case PortOpenFault::NoHardware:
            return text + "No serial port hardware is behind this device. " +
                   HowToLink(name, found);
        case PortOpenFault::NotPermitted:
            if (cause.group.empty()) {
                return text + "Your account may not open the device.";
            }
            if (cause.inGroupLater) {
                return text + "Your account is in the group \"" + cause.group +
                       "\" that owns the device, but this session began before: log out and "
                       "in again.";
            }
            return text + "The device belongs to the group \"" + cause.group +
                   "\". Add your account to it, then log out and in again:\n  sudo usermod -a -G " +
                   cause.group + " " + (cause.user.empty() ? "$USER" : cause.user);
        case PortOpenFault::Busy:
            return text +
                   "Another program holds the port. Close it (or the other Varnix "
                   "window) and try again.";
        case PortOpenFault::Resources:
            // The device itself opened: the failure was the port's own, and may pass.
            return text + "The device opens now: try again.";
        default:
            return text + "Check the cable and the adapter, then try again.";
    }
}

}  // namespace varnix
