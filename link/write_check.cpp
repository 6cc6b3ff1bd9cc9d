#include "write_check.h"

#include "decimal_number.h"
#include "phone_text.h"

namespace varnix {

namespace {

// Slots named one by one in the message; the rest are counted.
constexpr std::size_t kSlotsNamed = 3;
// A text longer than this is shown by its start.
constexpr std::size_t kTextShown = 24;

std::string Shown(const std::string& text) {
    if (text.size() <= kTextShown) {
        return "\"" + text + "\"";
    }
    std::size_t cut = kTextShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;  // not inside a UTF-8 sequence
    }
    return "\"" + text.substr(0, cut) + "...\"";
}

}  // namespace

std::optional<int> DeviceTimeout(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value <= kTimeoutMaxMs ? std::optional<int>(value) : std::nullopt;
}

WriteCheck CheckWriteValues(const ConfigValues& values) {
    WriteCheck check;
    const std::string text = values.TimeoutText();
    if (!DeviceTimeout(text)) {
        const std::string_view timeout = TrimBlanks(text);
        const bool digits =
            !timeout.empty() && timeout.find_first_not_of("0123456789") == std::string_view::npos;
        check.timeout = digits ? StartProblem::TimeoutTooLarge : StartProblem::TimeoutNotNumber;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string text = values.PhoneText(slot);
        if (const auto fault = PhoneTextFault(text)) {
            check.badSlots.push_back({slot, text, *fault});
        }
    }
    return check;
}

std::string WriteCheck::Text() const {
    const std::string first = TimeoutText();
    const std::string second = SlotsText();
    return first.empty() || second.empty() ? first + second : first + '\n' + second;
}

std::string WriteCheck::TimeoutText() const {
    if (!timeout) {
        return {};
    }
    return *timeout == StartProblem::TimeoutTooLarge ? "Relay TimeOut more than 59 seconds."
                                                     : "Please enter the digital.";
}

std::string WriteCheck::SlotsText() const {
    if (badSlots.empty()) {
        return {};
    }
    std::string text = badSlots.size() == 1 ? std::string("Slot ")
                                            : std::to_string(badSlots.size()) +
                                                  " slots cannot go to the device: slot ";
    for (std::size_t i = 0; i < badSlots.size() && i < kSlotsNamed; ++i) {
        if (i > 0) {
            text += "; slot ";
        }
        text += std::to_string(badSlots[i].slot) + " " + Shown(badSlots[i].text) + " " +
                badSlots[i].reason;
    }
    if (badSlots.size() > kSlotsNamed) {
        text += "; and " + std::to_string(badSlots.size() - kSlotsNamed) + " more";
    }
    return text + (badSlots.size() == 1 ? ", so it cannot go to the device." : ".");
}

}  // namespace varnix
