// What a load of a settings file met but could not show as it stands, so that the user is
// told once: phone rows without a slot, a slot with more than one row, and a file without
// relay settings. The texts that are no phone numbers are placed as they are and found by
// the device's value check, not here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix {

struct LoadNotes {
    // Phone rows whose id lies outside 1 to 500, in stored order; a save keeps them as
    // they are.
    std::vector<std::int64_t> idsOutside;
    // Phone rows with no id; a save keeps them as they are.
    int nullIds = 0;
    // Slots that more than one phone row names, ascending: the last row is shown, and a
    // save keeps only that one.
    std::vector<int> repeatedSlots;
    // The file has no relay settings table: the time-out and flag are left as cleared.
    bool noRelaySettings = false;

    bool Empty() const {
        return idsOutside.empty() && nullIds == 0 && repeatedSlots.empty() && !noRelaySettings;
    }
};

// One sentence per kind of note, each naming how many and which (the first few, then a
// count), for the window's message and the command line's warnings.
std::vector<std::string> DescribeLoadNotes(const LoadNotes& notes);

}  // namespace varnix
