// Long values (Memo and OLE): a 12-byte header in the row (length and kind, a data
// pointer), with the value inline after it, in one row of an LVAL page, or in a chain of
// LVAL rows that each begin with a pointer to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pages.h"
#include "row.h"
#include "table_def.h"

namespace varnix {

inline constexpr std::size_t kJetLongValueHeader = 12;

// Memo and OLE columns keep long values.
inline bool IsJetLongValueColumn(const JetColumnDef& column) {
    return JetColumnTypeOf(column.type).longValue;
}

// The value's stored bytes, wherever they lie. Throws JetError.
std::vector<std::uint8_t> ReadJetLongValue(const JetPages& pages, const std::uint8_t* field,
                                           std::size_t size);

// A value kept inline in the row: the header (kind 0x80) and the bytes.
std::vector<std::uint8_t> InlineJetLongValue(const std::vector<std::uint8_t>& value);

// The LVAL rows a stored field leads to, first part first (none for an inline value).
std::vector<JetRowId> JetLongValueRows(const JetPages& pages, const std::uint8_t* field,
                                       std::size_t size);

// Writes long values the way Access does: up to 64 bytes inline, up to one LVAL row's
// worth in one row, longer ones as a chain of rows. Its LVAL pages are taken with
// AllocateJetPage and filled before another is taken.
class JetLongValueWriter {
  public:
    explicit JetLongValueWriter(JetPages& pages) : pages_(pages) {}
    // The field for `value`: the 12-byte header and, when inline, the bytes.
    std::vector<std::uint8_t> Store(const std::vector<std::uint8_t>& value);
    // A field that holds its value inline after the header (as EncodeJetValue gives it),
    // stored as Store stores the value.
    void StoreField(JetField& field);

  private:
    JetRowId AddRow(const std::vector<std::uint8_t>& bytes);

    JetPages& pages_;
    std::uint32_t page_ = 0;  // the LVAL page being filled; 0 before the first
};

// Marks a stored field's LVAL rows deleted; a page left without live rows is released
// (AllocateJetPage may hand it out again). Returns the pages released, which the caller
// takes out of any table map that lists them.
std::vector<std::uint32_t> ReleaseJetLongValue(JetPages& pages, const std::uint8_t* field,
                                               std::size_t size);
// The same for a stored field of the table `def`: the pages released also leave the table's
// owned and free-space maps.
void ReleaseJetTableLongValue(JetPages& pages, const JetTableDef& def, const JetField& field);

}  // namespace varnix
