// The one check of the values a write will send, run before anything goes to the device:
// the time-out is a whole number 0 to 59999 written in digits, and every slot is empty or
// a phone number (digits and "+", at most 13). Nothing is cut or changed on its way to the
// device, so what a file brought that typing cannot produce stops the write here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer_interfaces.h"

namespace varnix {

struct SlotFault {
    int slot;
    std::string text;    // as the slot holds it
    std::string reason;  // "holds characters other than the digits and \"+\""
};

struct WriteCheck {
    // TimeoutNotNumber or TimeoutTooLarge, when the time-out cannot go.
    std::optional<StartProblem> timeout;
    std::vector<SlotFault> badSlots;  // ascending

    bool Passed() const { return !timeout && badSlots.empty(); }
    // The time-out's message as the window has always shown it, and one sentence naming
    // the first few offending slots and how many there are; one per line.
    std::string Text() const;
    // Each of those alone; empty when that part passed.
    std::string TimeoutText() const;
    std::string SlotsText() const;
};

WriteCheck CheckWriteValues(const ConfigValues& values);

// The time-out's milliseconds when the text is 1 to 5 digits within 0 to 59999, blanks
// around them aside.
std::optional<int> DeviceTimeout(std::string_view text);

}  // namespace varnix
