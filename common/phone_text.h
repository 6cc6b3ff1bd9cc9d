// The one rule for a phone number's text, as the phone table's keys produce it and as the
// device takes it: digits and "+" only, at most kPhoneTextMax of them. The empty text is
// an empty slot.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device_values.h"

namespace varnix {

// Why the text is no phone number, as a clause ("holds characters other than the digits
// and \"+\""), or nothing when it is one.
inline std::optional<std::string> PhoneTextFault(std::string_view text) {
    for (const char c : text) {
        if (c != '+' && (c < '0' || c > '9')) {
            return std::string("holds characters other than the digits and \"+\"");
        }
    }
    if (text.size() > kPhoneTextMax) {
        return "is longer than " + std::to_string(kPhoneTextMax) + " characters";
    }
    return std::nullopt;
}

}  // namespace varnix
