// Field values against every sample: each integer and text value decodes, and encoded anew
// gives the field's stored bytes; and what a column cannot keep exactly is refused.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/table_rows.h"
#include "jet/values.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

TEST(JetValues, EveryIntegerAndTextOfEverySampleEncodesToItsStoredBytes) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t integers = 0, texts = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        SCOPED_TRACE(table.Name());
        const JetFile& file = table.sample->file;
        for (const JetStoredRow& row : ReadJetTableRows(file.Pages(), table.def)) {
            for (std::size_t c = 0; c < table.def.columns.size(); ++c) {
                const JetColumnDef& column = table.def.columns[c];
                const JetField& field = row.fields[c];
                const JetValue value = DecodeJetValue(file.Pages(), file.TextForm(), column, field);
                if (value.kind != JetValue::Kind::Integer && value.kind != JetValue::Kind::Text) {
                    continue;
                }
                if (column.type == kJetTypeMemo && (field.bytes.at(3) & 0x80) == 0) {
                    continue;  // kept on LVAL pages, which the encoder leaves to the writer
                }
                const JetField encoded = EncodeJetValue(file.TextForm(), column, value);
                EXPECT_EQ(encoded.bytes, field.bytes) << column.name << " " << value.text;
                ++(value.kind == JetValue::Kind::Text ? texts : integers);
            }
        }
    }
    EXPECT_GT(integers, 4000u);
    EXPECT_GT(texts, 1400u);
}

JetColumnDef Column(std::uint8_t type, std::uint16_t length, std::uint8_t miscFlags = 0) {
    JetColumnDef column;
    column.name = "c";
    column.type = type;
    column.length = length;
    column.miscFlags = miscFlags;
    return column;
}

TEST(JetValues, ValuesComeBackExactlyOrAreRefused) {
    const JetPages pages({}, kJet4Layout);
    const JetTextForm ucs2{JetTextEncoding::Ucs2, 1252};
    const JetTextForm cp1252{JetTextEncoding::CodePage, 1252};
    const JetTextForm cp1251{JetTextEncoding::CodePage, 1251};
    struct Case {
        JetTextForm form;
        JetColumnDef column;
        JetValue value;
    };
    const Case exact[] = {
        {ucs2, Column(kJetTypeInt32, 4), JetValue::Int(INT32_MIN)},
        {ucs2, Column(kJetTypeByte, 1), JetValue::Int(255)},
        {ucs2, Column(kJetTypeText, 20, 0x01), JetValue::Str("abcdefghij")},
        {ucs2, Column(kJetTypeText, 20), JetValue::Str("\u03a9\U0001f600")},
        {ucs2, Column(kJetTypeMemo, 0), JetValue::Str("caf\u00e9")},
        {cp1252, Column(kJetTypeText, 10), JetValue::Str("caf\u00e9 \u20ac")},
        {cp1251, Column(kJetTypeText, 10), JetValue::Str("plain")},
        {ucs2, Column(kJetTypeText, 10), JetValue{}},
    };
    for (const Case& c : exact) {
        const JetField field = EncodeJetValue(c.form, c.column, c.value);
        EXPECT_EQ(field.present, c.value.kind != JetValue::Kind::Null);
        EXPECT_EQ(DecodeJetValue(pages, c.form, c.column, field), c.value) << c.value.text;
    }
    const Case refused[] = {
        {ucs2, Column(kJetTypeByte, 1), JetValue::Int(256)},
        {ucs2, Column(kJetTypeInt32, 4), JetValue::Str("1")},
        {ucs2, Column(kJetTypeDateTime, 8), JetValue::Int(1)},
        // The length counts two bytes a character, compressed or not.
        {ucs2, Column(kJetTypeText, 20, 0x01), JetValue::Str("abcdefghijk")},
        {ucs2, Column(kJetTypeText, 20), JetValue::Str("\xc3")},
        {cp1252, Column(kJetTypeText, 10), JetValue::Str("abcdefghijk")},
        {cp1252, Column(kJetTypeText, 10), JetValue::Str("\u03a9")},
        {cp1251, Column(kJetTypeText, 10), JetValue::Str("caf\u00e9")},
    };
    for (const Case& c : refused) {
        EXPECT_THROW(EncodeJetValue(c.form, c.column, c.value), JetError) << c.value.text;
    }
    EXPECT_THROW(DecodeJetValue(pages, ucs2, Column(kJetTypeInt32, 4), {true, {1, 2}}), JetError);
}

}  // namespace
}  // namespace varnix
