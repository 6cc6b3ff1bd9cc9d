#include "row.h"

#include <algorithm>
#include <string>

#include "error.h"

namespace varnix {

namespace {

// Jet 3 rows of this size or more need a jump table, which Varnix does not write.
constexpr std::size_t kJet3JumpTableRow = 256;

std::size_t FixedWidth(const JetColumnDef& column) {
    switch (column.type) {
        case kJetTypeBoolean:
            return 0;  // held in the null mask
        default:
            return column.length;
    }
}

}  // namespace

std::size_t JetMaxRowSize(const JetLayout& layout) {
    return layout.pageSize - layout.dataRowTable - 2;
}

std::vector<JetField> DecodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                   const std::uint8_t* row, std::size_t size) {
    const bool wide = layout.jet4;  // 2-byte counts and offsets, else 1-byte
    const std::size_t countBytes = wide ? 2 : 1;
    if (size < countBytes) {
        JetDamaged("a row is empty");
    }
    const std::size_t columns = wide ? JetU16(row) : row[0];
    const std::size_t maskSize = (columns + 7) / 8;
    if (maskSize + countBytes > size) {
        JetDamaged("a row is shorter than its null mask");
    }
    const std::uint8_t* mask = row + size - maskSize;
    std::size_t dataEnd = size - maskSize;  // where the fixed and variable data must end
    std::vector<std::size_t> varOffsets;    // the variable columns' starts, then their end
    if (def.varColumns > 0) {
        if (!wide && size >= kJet3JumpTableRow) {
            JetUnsupported(
                "a row of 256 bytes or more in an Access 97 file, which Varnix cannot read");
        }
        const std::size_t entry = countBytes;
        if (dataEnd < countBytes + entry) {
            JetDamaged("a row is shorter than its offset table");
        }
        const std::size_t varCount = wide ? JetU16(row + dataEnd - 2) : row[dataEnd - 1];
        dataEnd -= entry;
        if ((varCount + 1) * entry > dataEnd - countBytes) {
            JetDamaged("a row is shorter than its offset table");
        }
        varOffsets.reserve(varCount + 1);
        for (std::size_t i = 0; i <= varCount; ++i) {
            const std::uint8_t* at = row + dataEnd - entry * (i + 1);
            varOffsets.push_back(wide ? JetU16(at) : *at);
        }
        dataEnd -= (varCount + 1) * entry;
        for (std::size_t i = 0; i < varOffsets.size(); ++i) {
            if (varOffsets[i] < countBytes || varOffsets[i] > dataEnd ||
                (i > 0 && varOffsets[i] < varOffsets[i - 1])) {
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
        if (column.type == kJetTypeBoolean || !field.present) {
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
        } else if (std::size_t{column.varIndex} + 1 >= varOffsets.size()) {
            field.present = false;  // added after the row was written
        } else {
            field.bytes.assign(row + varOffsets[column.varIndex],
                               row + varOffsets[column.varIndex + 1]);
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

std::vector<std::uint8_t> EncodeJetRow(const JetLayout& layout, const JetTableDef& def,
                                       const std::vector<JetField>& fields) {
    const bool wide = layout.jet4;
    const std::size_t countBytes = wide ? 2 : 1;
    const std::size_t columns = def.maxColumns;
    std::vector<std::uint8_t> mask((columns + 7) / 8, 0);
    std::vector<std::uint8_t> row(countBytes, 0);
    row[0] = static_cast<std::uint8_t>(columns);
    if (wide) {
        row[1] = static_cast<std::uint8_t>(columns >> 8);
    }
    // Every fixed column takes its full width, null or not.
    std::size_t fixedEnd = countBytes;
    for (const JetColumnDef& column : def.columns) {
        if (column.Fixed()) {
            fixedEnd = std::max(fixedEnd, countBytes + column.fixedOffset + FixedWidth(column));
        }
    }
    row.resize(fixedEnd, 0);
    std::vector<std::size_t> order;  // the variable columns by their place in the offset table
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        const JetColumnDef& column = def.columns[c];
        const JetField& field = fields.at(c);
        if (field.present) {
            mask[column.number / 8] |= static_cast<std::uint8_t>(1u << (column.number % 8));
        }
        if (column.type == kJetTypeBoolean) {
            continue;
        }
        if (column.Fixed()) {
            if (field.present) {
                if (field.bytes.size() != FixedWidth(column)) {
                    JetDamaged("a value does not fit its fixed column");
                }
                std::copy(
                    field.bytes.begin(), field.bytes.end(),
                    row.begin() + static_cast<std::ptrdiff_t>(countBytes + column.fixedOffset));
            }
        } else {
            if (column.varIndex >= def.varColumns) {
                JetDamaged("a column's place in the offset table lies beyond the table's");
            }
            order.push_back(c);
        }
    }
    if (def.varColumns > 0) {
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return def.columns[a].varIndex < def.columns[b].varIndex;
        });
        std::vector<std::size_t> offsets(def.varColumns, 0);
        std::size_t next = 0;  // the offset-table entries filled so far
        for (const std::size_t c : order) {
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
        const std::size_t entry = countBytes;
        const std::size_t total = row.size() + entry * (def.varColumns + 2) + mask.size();
        if (!wide && total >= kJet3JumpTableRow) {
            JetUnsupported(
                "a row of 256 bytes or more in an Access 97 file, which Varnix cannot write");
        }
        const auto put = [&](std::size_t value) {
            row.push_back(static_cast<std::uint8_t>(value));
            if (wide) {
                row.push_back(static_cast<std::uint8_t>(value >> 8));
            }
        };
        put(row.size());  // where the variable data ends
        for (std::size_t i = offsets.size(); i-- > 0;) {
            put(offsets[i]);
        }
        put(def.varColumns);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > JetMaxRowSize(layout)) {
        JetUnsupported("a row of " + std::to_string(row.size()) +
                       " bytes, more than an Access page holds");
    }
    return row;
}

}  // namespace varnix
