#include "row.h"

#include <algorithm>
#include <string>

#include "error.h"

namespace varnix {

namespace {

std::size_t FixedWidth(const JetColumnDef& column) {
    return JetColumnTypeOf(column.type).inNullMask ? 0 : column.length;
}

// The counts and offsets of a row: little-endian, the layout's rowCountBytes wide.
std::size_t ReadCount(const std::uint8_t* at, std::size_t bytes) {
    std::size_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) {
        value = (value << 8) | at[i];
    }
    return value;
}

void PutCount(std::vector<std::uint8_t>& row, std::size_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        row.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// Puts the fixed columns at their offsets (each takes its full width, null or not) and the
// null mask's bits. Returns the variable columns by their place in the offset table.
std::vector<std::size_t> PutFixedColumns(std::vector<std::uint8_t>& row,
                                         std::vector<std::uint8_t>& mask, const JetTableDef& def,
                                         const std::vector<JetField>& fields) {
    const std::size_t start = row.size();
    std::size_t fixedEnd = start;
    for (const JetColumnDef& column : def.columns) {
        if (column.Fixed()) {
            fixedEnd = std::max(fixedEnd, start + column.fixedOffset + FixedWidth(column));
        }
    }
    row.resize(fixedEnd, 0);
    std::vector<std::size_t> variable;
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        const JetColumnDef& column = def.columns[c];
        const JetField& field = fields.at(c);
        if (field.present) {
            mask[column.number / 8] |= static_cast<std::uint8_t>(1u << (column.number % 8));
        }
        if (JetColumnTypeOf(column.type).inNullMask) {
            continue;
        }
        if (!column.Fixed()) {
            if (column.varIndex >= def.varColumns) {
                JetDamaged("a column's place in the offset table lies beyond the table's");
            }
            variable.push_back(c);
        } else if (field.present) {
            if (field.bytes.size() != FixedWidth(column)) {
                JetDamaged("a value does not fit its fixed column");
            }
            std::copy(field.bytes.begin(), field.bytes.end(),
                      row.begin() + static_cast<std::ptrdiff_t>(start + column.fixedOffset));
        }
    }
    std::sort(variable.begin(), variable.end(), [&](std::size_t a, std::size_t b) {
        return def.columns[a].varIndex < def.columns[b].varIndex;
    });
    return variable;
}

// Appends the variable columns in the order of the offset table, then the table: where the
// variable data ends, each column's start from the last to the first, and their count.
void PutVariableColumns(const JetLayout& layout, std::vector<std::uint8_t>& row,
                        const JetTableDef& def, const std::vector<JetField>& fields,
                        const std::vector<std::size_t>& variable, std::size_t maskSize) {
    std::vector<std::size_t> offsets(def.varColumns, 0);
    std::size_t next = 0;  // the offset-table entries filled so far
    for (const std::size_t c : variable) {
        const std::size_t start = row.size();
        if (fields[c].present) {
            row.insert(row.end(), fields[c].bytes.begin(), fields[c].bytes.end());
        }
        // Entries of deleted columns before this one point at its start, as Jet does.
        while (next <= def.columns[c].varIndex) {
            offsets[next++] = start;
        }
    }
    while (next < offsets.size()) {
        offsets[next++] = row.size();
    }
    const std::size_t entry = layout.rowCountBytes;
    const std::size_t total = row.size() + entry * (def.varColumns + 2) + maskSize;
    if (layout.rowJumpTableFrom && total >= *layout.rowJumpTableFrom) {
        JetUnsupported(
            "a row of 256 bytes or more in an Access 97 file, which Varnix cannot write");
    }
    PutCount(row, row.size(), entry);
    for (std::size_t i = offsets.size(); i-- > 0;) {
        PutCount(row, offsets[i], entry);
    }
    PutCount(row, def.varColumns, entry);
}

}  // namespace

std::size_t JetMaxRowSize(const JetLayout& layout) {
    return layout.pageSize - layout.dataRowTable - 2;
}

std::vector<JetField> DecodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                   const std::uint8_t* row, std::size_t size) {
    const std::size_t countBytes = layout.rowCountBytes;
    if (size < countBytes) {
        JetDamaged("a row is empty");
    }
    const std::size_t columns = ReadCount(row, countBytes);
    const std::size_t maskSize = (columns + 7) / 8;
    if (maskSize + countBytes > size) {
        JetDamaged("a row is shorter than its null mask");
    }
    const std::uint8_t* mask = row + size - maskSize;
    std::size_t dataEnd = size - maskSize;  // where the fixed and variable data must end
    // The variable columns' starts, then their end, stored backwards from `offsets`.
    std::size_t varCount = 0;
    const std::uint8_t* offsets = nullptr;
    const auto varOffset = [&](std::size_t i) {
        return ReadCount(offsets - countBytes * (i + 1), countBytes);
    };
    if (def.varColumns > 0) {
        if (layout.rowJumpTableFrom && size >= *layout.rowJumpTableFrom) {
            JetUnsupported(
                "a row of 256 bytes or more in an Access 97 file, which Varnix cannot read");
        }
        const std::size_t entry = countBytes;
        if (dataEnd < countBytes + entry) {
            JetDamaged("a row is shorter than its offset table");
        }
        varCount = ReadCount(row + dataEnd - entry, entry);
        dataEnd -= entry;
        if ((varCount + 1) * entry > dataEnd - countBytes) {
            JetDamaged("a row is shorter than its offset table");
        }
        offsets = row + dataEnd;
        dataEnd -= (varCount + 1) * entry;
        for (std::size_t i = 0; i <= varCount; ++i) {
            const std::size_t at = varOffset(i);
            if (at < countBytes || at > dataEnd || (i > 0 && at < varOffset(i - 1))) {
                JetDamaged("a row's offset table points outside the row");
            }
        }
    }
    std::vector<JetField> fields;
    fields.reserve(def.columns.size());
    for (const JetColumnDef& column : def.columns) {
        JetField field;
        field.present =
            column.number < columns && ((mask[column.number / 8] >> (column.number % 8)) & 1);
        if (JetColumnTypeOf(column.type).inNullMask || !field.present) {
            fields.push_back(std::move(field));
            continue;
        }
        if (column.Fixed()) {
            const std::size_t at = countBytes + column.fixedOffset;
            const std::size_t length = FixedWidth(column);
            if (at > dataEnd || length > dataEnd - at) {
                JetDamaged("a fixed column lies outside its row");
            }
            field.bytes.assign(row + at, row + at + length);
        } else if (offsets == nullptr || column.varIndex >= varCount) {
            field.present = false;  // added after the row was written
        } else {
            field.bytes.assign(row + varOffset(column.varIndex),
                               row + varOffset(column.varIndex + 1u));
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

std::vector<std::uint8_t> EncodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                       const std::vector<JetField>& fields) {
    std::vector<std::uint8_t> row;
    std::size_t data = 0;
    for (const JetField& field : fields) {
        data += field.bytes.size();
    }
    row.reserve(data + (std::size_t{def.maxColumns} + 2) * 2 + 2 * def.varColumns + 16);
    PutCount(row, def.maxColumns, layout.rowCountBytes);
    std::vector<std::uint8_t> mask((std::size_t{def.maxColumns} + 7) / 8, 0);
    const std::vector<std::size_t> variable = PutFixedColumns(row, mask, def, fields);
    if (def.varColumns > 0) {
        PutVariableColumns(layout, row, def, fields, variable, mask.size());
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > JetMaxRowSize(layout)) {
        JetUnsupported("a row of " + std::to_string(row.size()) +
                       " bytes, more than an Access page holds");
    }
    return row;
}

}  // namespace varnix
