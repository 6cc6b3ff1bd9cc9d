// The one reading of a decimal number typed by a user or stored in a settings file,
// used alike by the time-out range rule, the write to the device and the save.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace varnix {

// The text without leading and trailing blanks and control characters.
inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// Converts the trimmed text as a signed 32-bit decimal integer with an optional sign.
// Returns false when the text is empty, holds anything else or is out of range.
inline bool ParseDecimalInt32(std::string_view text, std::int32_t& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return false;
        }
    }
    if (text.empty()) {
        return false;
    }
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace varnix
