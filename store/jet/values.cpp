#include "values.h"

#include <algorithm>
#include <iterator>

#include "error.h"
#include "long_value.h"
#include "text.h"

namespace varnix {

namespace {

std::size_t IntegerWidth(std::uint8_t type) {
    switch (type) {
        case kJetTypeByte:
            return 1;
        case kJetTypeInt16:
            return 2;
        case kJetTypeInt32:
            return 4;
        default:
            return 0;
    }
}

bool PlainAscii(const std::uint8_t* data, std::size_t size) {
    return std::all_of(data, data + size, [](std::uint8_t byte) { return byte < 0x80; });
}

std::string DecodeText(JetTextForm form, const std::uint8_t* data, std::size_t size) {
    if (form.jet4) {
        return Jet4TextToUtf8(data, size);
    }
    if (form.codePage == 0 || form.codePage == 1252 || PlainAscii(data, size)) {
        return Cp1252ToUtf8(data, size);  // plain ASCII reads alike in every code page
    }
    JetUnsupported("the Access file keeps its text in code page " + std::to_string(form.codePage) +
                   ", which Varnix cannot read");
}

std::vector<std::uint8_t> EncodeText(JetTextForm form, const JetColumnDef& column,
                                     const std::string& text) {
    std::optional<std::vector<std::uint8_t>> bytes;
    if (form.jet4) {
        bytes = Utf8ToJet4Text(text, column.Compressed());
    } else if (form.codePage == 0 || form.codePage == 1252) {
        bytes = Utf8ToCp1252(text);
    } else if (PlainAscii(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        bytes.emplace(text.begin(), text.end());
    }
    if (!bytes) {
        JetUnsupported("the text \"" + text + "\" cannot be stored in the column " + column.name +
                       " of this Access file");
    }
    return *bytes;
}

}  // namespace

std::string JetTypeName(std::uint8_t type) {
    static const char* const kNames[] = {
        "unknown", "Yes/No",  "Byte",      "Integer",        "Long Integer", "Currency",
        "Single",  "Double",  "Date/Time", "Binary",         "Text",         "OLE Object",
        "Memo",    "unknown", "unknown",   "Replication ID", "Decimal"};
    return type < std::size(kNames) ? kNames[type] : "type " + std::to_string(type);
}

JetValue DecodeJetValue(const JetPages& pages, JetTextForm form, const JetColumnDef& column,
                        const JetField& field) {
    if (column.type == kJetTypeBoolean) {
        return {JetValue::Kind::Other, 0, {}};  // held in the null mask itself
    }
    if (!field.present) {
        return {};
    }
    const std::size_t width = IntegerWidth(column.type);
    const std::uint8_t* data = field.bytes.data();
    if (width != 0) {
        if (field.bytes.size() != width) {
            JetDamaged("a number column has the wrong length");
        }
        return JetValue::Int(column.type == kJetTypeByte ? std::int64_t{data[0]}
                             : column.type == kJetTypeInt16
                                 ? std::int64_t{static_cast<std::int16_t>(JetU16(data))}
                                 : std::int64_t{static_cast<std::int32_t>(JetU32(data))});
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

JetField EncodeJetValue(JetTextForm form, const JetColumnDef& column, const JetValue& value) {
    JetField field;
    if (value.kind == JetValue::Kind::Null) {
        return field;
    }
    field.present = true;
    const std::size_t width = IntegerWidth(column.type);
    if (width != 0 && value.kind == JetValue::Kind::Integer) {
        const std::int64_t lowest = column.type == kJetTypeByte    ? 0
                                    : column.type == kJetTypeInt16 ? INT16_MIN
                                                                   : INT32_MIN;
        const std::int64_t highest = column.type == kJetTypeByte    ? 255
                                     : column.type == kJetTypeInt16 ? INT16_MAX
                                                                    : INT32_MAX;
        if (value.integer < lowest || value.integer > highest) {
            JetUnsupported("the number " + std::to_string(value.integer) + " does not fit the " +
                           JetTypeName(column.type) + " column " + column.name);
        }
        const auto bits = static_cast<std::uint32_t>(value.integer);
        for (std::size_t i = 0; i < width; ++i) {
            field.bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        }
        return field;
    }
    if (column.type == kJetTypeText && value.kind == JetValue::Kind::Text) {
        field.bytes = EncodeText(form, column, value.text);
        // The column's length counts characters as two bytes each, compressed or not.
        const std::size_t plain =
            form.jet4 ? Utf8ToJet4Text(value.text, false)->size() : field.bytes.size();
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
