// How the settings read an integer field of an Access file, and a phone row's id in
// particular: the load and the save agree on which rows name a slot, so that a save keeps
// as they are the rows a load could not show.
#pragma once

#include <cstdint>
#include <optional>

#include "jet/values.h"

namespace varnix {

// An integer field as the settings read it: a number as it is, text as its leading integer
// (as SQLite converts it), null as none. `value` is of a kind Varnix reads (not Other).
std::optional<std::int64_t> JetSettingsInteger(const JetValue& value);

// The slot a phone row's id names; none for a null id or one outside 1 to 500.
std::optional<int> JetPhoneSlot(const JetValue& id);

}  // namespace varnix
