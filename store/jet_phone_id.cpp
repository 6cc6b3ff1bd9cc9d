#include "jet_phone_id.h"

#include <limits>
#include <string>

#include "device_values.h"

namespace varnix {

namespace {

std::int64_t LeadingInteger(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t\n\f\r");
    if (i == std::string::npos) {
        return 0;
    }
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') {
        ++i;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        std::uint64_t{std::numeric_limits<std::int64_t>::max()} + (negative ? 1 : 0);
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > limit) {
            return negative ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
        }
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

}  // namespace

std::optional<std::int64_t> JetSettingsInteger(const JetValue& value) {
    switch (value.kind) {
        case JetValue::Kind::Integer:
            return value.integer;
        case JetValue::Kind::Text:
            return LeadingInteger(value.text);
        default:
            return std::nullopt;
    }
}

std::optional<int> JetPhoneSlot(const JetValue& id) {
    const std::optional<std::int64_t> value = JetSettingsInteger(id);
    if (!value || *value < 1 || *value > kSlotCount) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

}  // namespace varnix
