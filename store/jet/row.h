// The row codec: a stored row as one field per column of its table definition, and back.
// Fields keep their bytes as stored, so a column the writer does not change is written
// back exactly as it was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "table_def.h"

namespace varnix {

struct JetField {
    bool present = false;  // not null; for a Yes/No column, its value
    std::vector<std::uint8_t> bytes;
};

// One field per column of `def.columns`, in that order. A column the row was written
// without (added later) reads as null. Throws JetError when the row contradicts itself.
std::vector<JetField> DecodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                   const std::uint8_t* row, std::size_t size);

// The row bytes as Jet writes them: every column of the definition, fixed columns at their
// offsets, variable columns in the order of their offset table, then the offset table and
// the null mask. Throws JetUnsupported when the row cannot be stored exactly (too long for
// a page, or an Access 97 row that would need a jump table).
std::vector<std::uint8_t> EncodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                       const std::vector<JetField>& fields);

// The longest row a data page holds.
std::size_t JetMaxRowSize(const JetLayout& layout);

}  // namespace varnix
