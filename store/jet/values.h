// Field values as the program sees them (integers, UTF-8 text, null), to and from the
// bytes a row stores for a column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages.h"
#include "row.h"
#include "table_def.h"

namespace varnix {

struct JetValue {
    enum class Kind { Null, Integer, Text, Other };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    std::string text;  // UTF-8

    static JetValue Int(std::int64_t value) { return {Kind::Integer, value, {}}; }
    static JetValue Str(std::string value) { return {Kind::Text, 0, std::move(value)}; }
    friend bool operator==(const JetValue&, const JetValue&) = default;
};

// How a file stores its text: UCS-2, or one byte a character in `codePage`.
struct JetTextForm {
    JetTextEncoding encoding = JetTextEncoding::Ucs2;
    std::uint16_t codePage = 1252;
};

// The value of a stored field. Yes/No and the types Varnix does not read come back as
// Other. Throws JetError.
JetValue DecodeJetValue(const JetPages& pages, JetTextForm form, const JetColumnDef& column,
                        const JetField& field);

// The values of a stored row, one a column of `def`. Throws JetError.
std::vector<JetValue> DecodeJetRowValues(const JetPages& pages, JetTextForm form,
                                         const JetTableDef& def,
                                         const std::vector<JetField>& fields);

// The rows of a table as values, one a column, in stored order. Throws JetError.
std::vector<std::vector<JetValue>> ReadJetTableValues(const JetPages& pages, JetTextForm form,
                                                      const JetTableDef& def);

// The stored form of an integer or text value for `column`, with memo text inline. Throws
// JetUnsupported, naming the column, when the value cannot be stored exactly there.
JetField EncodeJetValue(JetTextForm form, const JetColumnDef& column, const JetValue& value);

}  // namespace varnix
