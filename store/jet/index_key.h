// The key bytes an index stores for a column value, built as Access builds them, so that a
// rebuilt index sorts and compares exactly like one Access or Jackcess wrote. Byte, Integer
// and Long Integer keys are exact for every value; Text keys only for printable ASCII in the
// file's default sort order. `layout` is the file's. Anything else has no key here, and the writer
// must refuse to keep such an index rather than store a key Access would sort differently.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "table_def.h"
#include "values.h"

namespace varnix {

// The key part of `value` for an index column on `column` (Byte, Integer, Long Integer or
// Text): a flag byte (0x7f ascending, 0x80 descending), then the value's codes, inverted
// when descending. A null is the flag alone (0x00 ascending, 0xff descending). Text keys
// follow the sort order "General" (1033) that Access gives new files: in Jet 4 its version
// 0 ("General legacy" from Access 2010), in Jet 3 that of Access 97. Trailing spaces do not
// count, and only the first 255 characters.
//
// nullopt when no exact key can be built: another column type, a text column in another
// sort order, a value of another kind or out of the type's range, or text holding anything
// but the characters 0x20 to 0x7e.
std::optional<std::vector<std::uint8_t>> JetIndexKeyPart(const JetColumnDef& column,
                                                         const JetValue& value, bool ascending,
                                                         const JetLayout& layout);

// The whole key of a row for `index`: its parts concatenated in index order. `values`
// holds one value per column of `def`, in definition order (as the row codec gives them).
// nullopt when a part has no exact key, or when `values` does not match `def`.
std::optional<std::vector<std::uint8_t>> JetIndexKey(const JetTableDef& def,
                                                     const JetRealIndex& index,
                                                     const std::vector<JetValue>& values,
                                                     const JetLayout& layout);

}  // namespace varnix
