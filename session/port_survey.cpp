#include "port_survey.h"

#include <exception>
#include <filesystem>

#include "port_choice.h"
#include "port_diagnosis.h"

namespace varnix {

namespace fs = std::filesystem;

namespace {

using State = PortFacts::State;

// What a fake tree shows without opening anything: a device found there, a built-in node
// the serial driver found no UART behind, or nothing.
State StateInTree(const PortRoute& route, const std::string& root) {
    if (route.path.empty()) {
        return State::NoDevice;
    }
    if (route.present) {
        return State::Present;
    }
    std::error_code code;
    const bool builtIn = fs::path(route.path).filename().string().rfind("ttyS", 0) == 0;
    return builtIn && fs::exists(root + route.path, code) ? State::NoHardware : State::Missing;
}

// The words after the colon of the list line, also the tooltip's last line.
std::string StateText(const PortFacts& facts) {
    switch (facts.state) {
        case State::Present:
            return "present";
        case State::Busy:
            return "busy (another program holds it)";
        case State::NotPermitted:
            if (facts.group.empty()) {
                return facts.reason.empty() ? "not permitted"
                                            : "not permitted (" + facts.reason + ")";
            }
            return facts.groupNeedsNewLogin
                       ? "not permitted (in the group \"" + facts.group +
                             "\" from the next login on)"
                       : "not permitted (needs the group \"" + facts.group + "\")";
        case State::Missing:
            return "missing";
        case State::NoHardware:
            return "no UART hardware";
        case State::NoDevice:
            return "no device";
        case State::Unusable:
            break;
    }
    return facts.reason.empty() ? "unusable" : "unusable (" + facts.reason + ")";
}

bool IsListedPortName(const std::string& name) {
    for (int index = 0; index < kPortNameCount; ++index) {
        if (PortNameAt(index) == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

PortFacts::State StateOf(PortOpenFault fault) {
    switch (fault) {
        case PortOpenFault::NoName:
            return State::NoDevice;
        case PortOpenFault::Missing:
            return State::Missing;
        case PortOpenFault::NoHardware:
            return State::NoHardware;
        case PortOpenFault::NotPermitted:
            return State::NotPermitted;
        case PortOpenFault::Busy:
            return State::Busy;
        case PortOpenFault::NotADevice:
        case PortOpenFault::Resources:
        case PortOpenFault::Other:
            break;
    }
    return State::Unusable;
}

PortFacts SurveyPort(const std::string& name, const std::vector<SerialDevice>& found,
                     const std::string& chosen, const std::string& root) {
    PortFacts facts;
    facts.name = name;
    facts.chosen = !chosen.empty() && name == chosen;
    const PortRoute route = RoutePort(name, found, root);
    facts.path = route.path;
    facts.linked = route.linked;
    facts.product = route.product;
    if (!root.empty()) {
        facts.state = StateInTree(route, root);
        return facts;
    }
    const auto refused = DiagnosePort(name);
    if (!refused) {
        facts.state = State::Present;
        return facts;
    }
    facts.state = StateOf(refused->fault);
    facts.reason = refused->reason;
    facts.group = refused->group;
    facts.groupNeedsNewLogin = refused->inGroupLater;
    return facts;
}

std::vector<PortFacts> SurveyPorts() {
    std::string chosen;
    try {
        chosen = RememberedPortName();
    } catch (const std::exception&) {
        // A stored choice that cannot be read chooses nothing here.
    }
    const auto found = FindSerialDevices();
    std::vector<PortFacts> ports;
    for (int index = 0; index < kPortNameCount; ++index) {
        ports.push_back(SurveyPort(PortNameAt(index), found, chosen));
    }
    return ports;
}

std::string DescribePort(const PortFacts& facts) {
    constexpr std::size_t kNameWidth = 5;  // "COM15"
    std::string text = facts.name;
    text.append(facts.name.size() < kNameWidth ? kNameWidth - facts.name.size() : 0, ' ');
    text += "  " + (facts.path.empty() ? std::string("(no device path)") : facts.path);
    std::string about = facts.product;
    if (facts.linked) {
        about += about.empty() ? "linked" : ", linked";
    }
    if (!about.empty()) {
        text += " (" + about + ")";
    }
    text += ": " + StateText(facts);
    return facts.chosen ? text + ", chosen" : text;
}

std::string PortTooltip(const PortFacts& facts) {
    if (facts.path.empty()) {
        return facts.name + " opens no device";
    }
    std::string text =
        facts.name + " opens " + facts.path + (facts.linked ? " (linked)" : "") + "\n";
    switch (facts.state) {
        case State::Present:
        case State::Busy:
        case State::NotPermitted:
            text += facts.product.empty() ? "device present" : facts.product;
            return facts.state == State::Present ? text : text + "\n" + StateText(facts);
        case State::Unusable:
            return text + StateText(facts);
        case State::Missing:
        case State::NoHardware:
        case State::NoDevice:
            break;
    }
    return text + "no device";
}

bool LinkPortName(const std::string& name, const std::string& device, std::string& error) {
    if (!IsListedPortName(name)) {
        error = "not a port name: \"" + name + "\" (COM1 to COM15)";
        return false;
    }
    if (!CanLinkPorts()) {
        return LinkPort(name, device, error);  // refuses with the reason
    }
    if (device.empty()) {
        error = "no device given";
        return false;
    }
    std::error_code code;
    const fs::path path = fs::absolute(device, code);
    const fs::file_status status = fs::status(path, code);
    if (!fs::exists(status)) {
        error = path.string() + ": no such device";
        return false;
    }
    if (!fs::is_character_file(status)) {
        error = path.string() + ": not a character device";
        return false;
    }
    // An adapter is linked by its stable by-id name, which stays when it is plugged in
    // elsewhere and its ttyUSB number changes.
    std::string target = path.string();
    const fs::path node = fs::canonical(path, code);
    for (const SerialDevice& found : FindSerialDevices()) {
        std::error_code ignored;
        if (!code && fs::canonical(found.node, ignored) == node) {
            target = found.path;
        }
    }
    return LinkPort(name, target, error);
}

bool UnlinkPortName(const std::string& name, std::string& error) {
    if (!IsListedPortName(name)) {
        error = "not a port name: \"" + name + "\" (COM1 to COM15)";
        return false;
    }
    return LinkPort(name, "", error);  // on Windows: refuses with the reason
}

}  // namespace varnix
