#include "command_reports.h"

#include "json_object.h"

namespace varnix {

namespace {

const char* OnOff(bool on) {
    return on ? "on" : "off";
}

std::string TimeoutShown(const std::string& timeout) {
    return DeviceTimeout(timeout) ? timeout + " ms" : "\"" + timeout + "\"";
}

// The time-out as a JSON number when it is one the device takes, else as the text held.
void AddTimeout(JsonObject& json, const std::string& timeout) {
    if (const auto ms = DeviceTimeout(timeout)) {
        json.Number("timeoutMs", *ms);
    } else {
        json.Text("timeoutText", timeout);
    }
}

std::string Settings(const ConfigSummary& summary) {
    return "relay time-out " + TimeoutShown(summary.timeout) + ", external disconnection " +
           OnOff(summary.externalDisconnect) + ", " + std::to_string(summary.numbers) +
           (summary.numbers == 1 ? " number" : " numbers");
}

const char* FieldName(ConfigDifference::Field field) {
    switch (field) {
        case ConfigDifference::Field::Timeout:
            return "timeout";
        case ConfigDifference::Field::ExternalDisconnect:
            return "externalDisconnect";
        case ConfigDifference::Field::Slot:
            break;
    }
    return "slot";
}

const char* StateName(PortFacts::State state) {
    switch (state) {
        case PortFacts::State::Present:
            return "present";
        case PortFacts::State::Busy:
            return "busy";
        case PortFacts::State::NotPermitted:
            return "not permitted";
        case PortFacts::State::Missing:
            return "missing";
        case PortFacts::State::NoHardware:
            return "no hardware";
        case PortFacts::State::NoDevice:
            return "no device";
        case PortFacts::State::Unusable:
            break;
    }
    return "unusable";
}

}  // namespace

std::string PortsJson(const std::vector<PortFacts>& ports) {
    std::vector<std::string> items;
    for (const PortFacts& facts : ports) {
        items.push_back(JsonObject()
                            .Text("name", facts.name)
                            .Text("path", facts.path)
                            .Flag("linked", facts.linked)
                            .Text("product", facts.product)
                            .Text("state", StateName(facts.state))
                            .Text("group", facts.group)
                            .Flag("groupNeedsNewLogin", facts.groupNeedsNewLogin)
                            .Text("reason", facts.reason)
                            .Flag("chosen", facts.chosen)
                            .Json());
    }
    return JsonObject().Raw("ports", JsonArray(items)).Json();
}

std::string ProbeOutcome(const ProbeResult& result) {
    switch (result.outcome) {
        case ProbeResult::Outcome::Answered:
            return "answered";
        case ProbeResult::Outcome::Silent:
            return "silent";
        case ProbeResult::Outcome::Busy:
            return "busy";
        case ProbeResult::Outcome::NotPermitted:
            return "not permitted";
        case ProbeResult::Outcome::Missing:
            return "missing";
        case ProbeResult::Outcome::Failed:
            break;
    }
    return result.reason.empty() ? "failed" : "failed: " + result.reason;
}

ConfigSummary Summarise(const ConfigValues& values) {
    ConfigSummary summary{values.TimeoutText(), values.ExternalDisconnect(), 0};
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        summary.numbers += values.PhoneText(slot).empty() ? 0 : 1;
    }
    return summary;
}

std::string ShowLine(const std::string& port, const ConfigSummary& held) {
    return port + " holds: " + Settings(held) + ".";
}

std::string ShowJson(const std::string& port, const ConfigSummary& held) {
    JsonObject json;
    json.Text("port", port);
    AddTimeout(json, held.timeout);
    return json.Flag("externalDisconnect", held.externalDisconnect)
        .Number("numbers", held.numbers)
        .Json();
}

std::string CheckLine(const CheckFindings& findings) {
    std::string line = findings.file + " can be written to a device: ";
    if (findings.needsSettings) {
        line += std::to_string(findings.values.numbers) +
                " numbers; it holds no relay settings, so a write needs --timeout MS and "
                "--external-disconnect on|off";
    } else {
        line += Settings(findings.values);
    }
    if (findings.values.numbers == 0) {
        line += "; it holds no numbers, so a write empties the device and needs --allow-empty";
    }
    return line + ".";
}

std::string CheckJson(const CheckFindings& findings) {
    std::vector<std::string> faults;
    for (const SlotFault& fault : findings.check.badSlots) {
        faults.push_back(JsonObject()
                             .Number("slot", fault.slot)
                             .Text("text", fault.text)
                             .Text("reason", fault.reason)
                             .Json());
    }
    JsonObject json;
    json.Text("file", findings.file).Flag("writable", findings.check.Passed());
    AddTimeout(json, findings.values.timeout);
    json.Flag("externalDisconnect", findings.values.externalDisconnect)
        .Number("numbers", findings.values.numbers)
        .Flag("needsSettings", findings.needsSettings);
    if (findings.check.timeout) {
        json.Text("timeoutFault", findings.check.TimeoutText());
    } else {
        json.Null("timeoutFault");
    }
    return json.Raw("slotFaults", JsonArray(faults)).Json();
}

std::string CompareJson(const std::string& port, const std::string& file,
                        const std::vector<ConfigDifference>& differences) {
    std::vector<std::string> items;
    for (const ConfigDifference& difference : differences) {
        JsonObject item;
        item.Text("field", FieldName(difference.field));
        if (difference.field == ConfigDifference::Field::Slot) {
            item.Number("slot", difference.slot);
        }
        items.push_back(
            item.Text("device", difference.device).Text("file", difference.other).Json());
    }
    return JsonObject()
        .Text("port", port)
        .Text("file", file)
        .Flag("same", differences.empty())
        .Raw("differences", JsonArray(items))
        .Json();
}

}  // namespace varnix
