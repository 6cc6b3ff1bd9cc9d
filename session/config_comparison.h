// Where the device's configuration and another one (a settings file, the window) differ:
// the relay time-out, the external disconnection flag and the 500 phone slots. The
// password is left out, since settings files do not keep it. The time-out counts as the
// same when both texts read as the same decimal number ("0100" and "100"), otherwise only
// when the texts are equal; slots are equal only as identical texts.
#pragma once

#include <string>
#include <vector>

#include "config_values.h"

namespace varnix {

struct ConfigDifference {
    enum class Field { Timeout, ExternalDisconnect, Slot } field;
    int slot;            // 1 to 500 for Field::Slot, else 0
    std::string device;  // the texts; the flag as "on" or "off"
    std::string other;
};

// The differences in order: the time-out, the flag, then the slots from 1 up.
std::vector<ConfigDifference> CompareConfigs(const ConfigValues& device, const ConfigValues& other);

// One side's value as a person reads it: "(empty)" for an empty text, a time-out that is a
// number as "100 ms", anything else as it is.
std::string ShownValue(ConfigDifference::Field field, const std::string& value);

// One line, the other side named "file": `slot 7: device "+385911", file (empty)`,
// `time-out: device 100 ms, file 200 ms`, `external disconnection: device on, file off`.
std::string DescribeDifference(const ConfigDifference& difference);

// "no differences", or the count and what differs: "3 differences: 2 slots, the time-out".
std::string DescribeComparison(const std::vector<ConfigDifference>& differences);

}  // namespace varnix
