#include "values.h"

#include <algorithm>

#include "error.h"
#include "long_value.h"
#include "table_rows.h"
#include "text.h"

namespace varnix {

namespace {

// A stored integer: little-endian, signed or not as its type says.
std::int64_t IntegerOf(const JetColumnType& type, const std::uint8_t* data) {
    std::uint64_t bits = 0;
    for (std::size_t i = type.integerBytes; i-- > 0;) {
        bits = (bits << 8) | data[i];
    }
    const std::uint64_t sign = std::uint64_t{1} << (8 * type.integerBytes - 1);
    if (type.integerSigned && (bits & sign) != 0) {
        return static_cast<std::int64_t>(bits) - static_cast<std::int64_t>(2 * sign);
    }
    return static_cast<std::int64_t>(bits);
}

bool PlainAscii(const std::uint8_t* data, std::size_t size) {
    return std::all_of(data, data + size, [](std::uint8_t byte) { return byte < 0x80; });
}

std::string DecodeText(JetTextForm form, const std::uint8_t* data, std::size_t size) {
    if (form.encoding == JetTextEncoding::Ucs2) {
        return Jet4TextToUtf8(data, size);
    }
    if (form.codePage == 0 || form.codePage == 1252 || PlainAscii(data, size)) {
        return Cp1252ToUtf8(data, size);  // plain ASCII reads alike in every code page
    }
    JetUnsupported("the Access file keeps its text in code page " + std::to_string(form.codePage) +
                   ", which Varnix cannot read");
}

// The text as the column stores it. `plainBytes` takes its length as the column's size
// counts it: two bytes a character in Jet 4, compressed or not.
std::vector<std::uint8_t> EncodeText(JetTextForm form, const JetColumnDef& column,
                                     const std::string& text, std::size_t* plainBytes = nullptr) {
    std::optional<std::vector<std::uint8_t>> bytes;
    std::size_t units = 0;
    if (form.encoding == JetTextEncoding::Ucs2) {
        bytes = Utf8ToJet4Text(text, column.Compressed(), &units);
        units *= 2;
    } else if (form.codePage == 0 || form.codePage == 1252) {
        bytes = Utf8ToCp1252(text);
    } else if (PlainAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        bytes.emplace(text.begin(), text.end());
    }
    if (!bytes) {
        JetUnsupported("the text \"" + text + "\" cannot be stored in the column " + column.name +
                       " of this Access file");
    }
    if (plainBytes != nullptr) {
        *plainBytes = form.encoding == JetTextEncoding::Ucs2 ? units : bytes->size();
    }
    return std::move(*bytes);
}

}  // namespace

JetValue DecodeJetValue(const JetPages& pages, JetTextForm form, const JetColumnDef& column,
                        const JetField& field) {
    const JetColumnType& type = JetColumnTypeOf(column.type);
    if (type.inNullMask) {
        return {JetValue::Kind::Other, 0, {}};  // held in the null mask itself
    }
    if (!field.present) {
        return {};
    }
    const std::uint8_t* data = field.bytes.data();
    if (type.integerBytes != 0) {
        if (field.bytes.size() != type.integerBytes) {
            JetDamaged("a number column has the wrong length");
        }
        return JetValue::Int(IntegerOf(type, data));
    }
    if (column.type == kJetTypeText) {
        return JetValue::Str(DecodeText(form, data, field.bytes.size()));
    }
    if (column.type == kJetTypeMemo) {
        const std::vector<std::uint8_t> text = ReadJetLongValue(pages, data, field.bytes.size());
        return JetValue::Str(DecodeText(form, text.data(), text.size()));
    }
    return {JetValue::Kind::Other, 0, {}};
}

std::vector<JetValue> DecodeJetRowValues(const JetPages& pages, JetTextForm form,
                                         const JetTableDef& def,
                                         const std::vector<JetField>& fields) {
    std::vector<JetValue> values;
    values.reserve(def.columns.size());
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        values.push_back(DecodeJetValue(pages, form, def.columns[c], fields[c]));
    }
    return values;
}

std::vector<std::vector<JetValue>> ReadJetTableValues(const JetPages& pages, JetTextForm form,
                                                      const JetTableDef& def) {
    std::vector<std::vector<JetValue>> rows;
    const std::vector<JetStoredRow> stored = ReadJetTableRows(pages, def);
    rows.reserve(stored.size());
    for (const JetStoredRow& row : stored) {
        rows.push_back(DecodeJetRowValues(pages, form, def, row.fields));
    }
    return rows;
}

JetField EncodeJetValue(JetTextForm form, const JetColumnDef& column, const JetValue& value) {
    JetField field;
    if (value.kind == JetValue::Kind::Null) {
        return field;
    }
    field.present = true;
    const JetColumnType& type = JetColumnTypeOf(column.type);
    if (type.integerBytes != 0 && value.kind == JetValue::Kind::Integer) {
        if (!JetIntegerFits(type, value.integer)) {
            JetUnsupported("the number " + std::to_string(value.integer) + " does not fit the " +
                           JetTypeName(column.type) + " column " + column.name);
        }
        const auto bits = static_cast<std::uint32_t>(value.integer);
        field.bytes.resize(type.integerBytes);
        for (std::size_t i = 0; i < type.integerBytes; ++i) {
            field.bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
        }
        return field;
    }
    if (column.type == kJetTypeText && value.kind == JetValue::Kind::Text) {
        std::size_t plain = 0;
        field.bytes = EncodeText(form, column, value.text, &plain);
        if (plain > column.length) {
            JetUnsupported("the text \"" + value.text + "\" is longer than the column " +
                           column.name + " holds");
        }
        return field;
    }
    if (column.type == kJetTypeMemo && value.kind == JetValue::Kind::Text) {
        field.bytes = InlineJetLongValue(EncodeText(form, column, value.text));
        return field;
    }
    JetUnsupported("the column " + column.name + " holds " + JetTypeName(column.type) +
                   " values, which Varnix cannot write");
}

}  // namespace varnix
