#include "config_comparison.h"

#include <cstdint>

#include "decimal_number.h"

namespace varnix {

namespace {

using Field = ConfigDifference::Field;

bool SameTimeout(const std::string& a, const std::string& b) {
    std::int32_t first = 0;
    std::int32_t second = 0;
    if (ParseDecimalInt32(a, first) && ParseDecimalInt32(b, second)) {
        return first == second;
    }
    return a == b;
}

const char* OnOff(bool on) {
    return on ? "on" : "off";
}

// A slot's text in quotes, so that blanks at its ends show; other values as shown.
std::string Quoted(Field field, const std::string& value) {
    if (field == Field::Slot && !value.empty()) {
        return "\"" + value + "\"";
    }
    return ShownValue(field, value);
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<ConfigDifference> CompareConfigs(const ConfigValues& device,
                                             const ConfigValues& other) {
    std::vector<ConfigDifference> differences;
    const std::string deviceTimeout = device.TimeoutText();
    const std::string otherTimeout = other.TimeoutText();
    if (!SameTimeout(deviceTimeout, otherTimeout)) {
        differences.push_back({Field::Timeout, 0, deviceTimeout, otherTimeout});
    }
    if (device.ExternalDisconnect() != other.ExternalDisconnect()) {
        differences.push_back({Field::ExternalDisconnect, 0, OnOff(device.ExternalDisconnect()),
                               OnOff(other.ExternalDisconnect())});
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        std::string deviceText = device.PhoneText(slot);
        std::string otherText = other.PhoneText(slot);
        if (deviceText != otherText) {
            differences.push_back({Field::Slot, slot, std::move(deviceText), std::move(otherText)});
        }
    }
    return differences;
}

std::string ShownValue(Field field, const std::string& value) {
    if (value.empty()) {
        return "(empty)";
    }
    std::int32_t milliseconds = 0;
    if (field == Field::Timeout && ParseDecimalInt32(value, milliseconds)) {
        return std::to_string(milliseconds) + " ms";
    }
    return value;
}

std::string DescribeDifference(const ConfigDifference& difference) {
    std::string what;
    switch (difference.field) {
        case Field::Timeout:
            what = "time-out";
            break;
        case Field::ExternalDisconnect:
            what = "external disconnection";
            break;
        case Field::Slot:
            what = "slot " + std::to_string(difference.slot);
            break;
    }
    return what + ": device " + Quoted(difference.field, difference.device) + ", file " +
           Quoted(difference.field, difference.other);
}

std::string DescribeComparison(const std::vector<ConfigDifference>& differences) {
    if (differences.empty()) {
        return "no differences";
    }
    std::size_t slots = 0;
    std::string parts;
    for (const ConfigDifference& difference : differences) {
        switch (difference.field) {
            case Field::Timeout:
                parts += ", the time-out";
                break;
            case Field::ExternalDisconnect:
                parts += ", the external disconnection";
                break;
            case Field::Slot:
                ++slots;
                break;
        }
    }
    if (slots > 0) {
        parts = ", " + Counted(slots, "slot", "slots") + parts;
    }
    return Counted(differences.size(), "difference", "differences") + ":" + parts.substr(1);
}

}  // namespace varnix
