// Long values: every memo and OLE value of the samples, and values at each size limit,
// written anew read back alike, in the form Access chose for them; released, their pages
// are the next ones handed out.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/table_rows.h"
#include "jet/usage_map.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kKindBits = 0xc0;

TEST(JetLongValue, ValuesOfEverySizeAreWrittenAsAccessDoesAndGiveTheirPagesBack) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    struct Value {
        Bytes bytes;
        int kind;  // as the sample stores it (Jet 4 only), else -1
    };
    const std::size_t part = *kJet4Layout.longValuePart;
    std::vector<Value> values;
    for (const std::size_t size : {std::size_t{0}, std::size_t{64}, std::size_t{65}, part, part + 1,
                                   3 * (part - 4), 3 * (part - 4) + 1}) {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        values.push_back({bytes, -1});
    }
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        const JetPages& pages = table.sample->file.Pages();
        for (const JetStoredRow& row : ReadJetTableRows(pages, table.def)) {
            for (std::size_t c = 0; c < table.def.columns.size(); ++c) {
                const Bytes& field = row.fields[c].bytes;
                if (IsJetLongValueColumn(table.def.columns[c]) && row.fields[c].present) {
                    values.push_back({ReadJetLongValue(pages, field.data(), field.size()),
                                      table.sample->file.IsJet4() ? field.at(3) & kKindBits : -1});
                }
            }
        }
    }
    ASSERT_GT(values.size(), 60u);

    JetPages pages = samples.front().file.Pages();
    ASSERT_EQ(&pages.Layout(), &kJet4Layout);
    JetLongValueWriter writer(pages);
    std::vector<Bytes> fields;
    for (const Value& value : values) {
        fields.push_back(writer.Store(value.bytes));
        const Bytes& field = fields.back();
        EXPECT_EQ(ReadJetLongValue(pages, field.data(), field.size()), value.bytes);
        const std::size_t size = value.bytes.size();
        const int kind = size <= 64 ? 0x80 : size <= part ? 0x40 : 0x00;
        EXPECT_EQ(field.at(3) & kKindBits, kind) << size;
        if (value.kind >= 0) {
            EXPECT_EQ(kind, value.kind) << size;
        }
        const std::size_t rows = kind == 0x80   ? 0
                                 : kind == 0x40 ? 1
                                                : (size + part - 5) / (part - 4);
        EXPECT_EQ(JetLongValueRows(pages, field.data(), field.size()).size(), rows) << size;
    }

    std::vector<std::uint32_t> released;
    for (const Bytes& field : fields) {
        for (const std::uint32_t page : ReleaseJetLongValue(pages, field.data(), field.size())) {
            released.push_back(page);
        }
    }
    ASSERT_FALSE(released.empty());
    const JetUsageMap global(pages, kJetGlobalUsageMap);
    for (const std::uint32_t page : released) {
        EXPECT_TRUE(global.Contains(page)) << page;
    }
    EXPECT_EQ(AllocateJetPage(pages), *std::min_element(released.begin(), released.end()));

    // Access 97 files take short values in the row only.
    JetPages jet3 = samples.at(1).file.Pages();
    ASSERT_EQ(&jet3.Layout(), &kJet3Layout);
    JetLongValueWriter jet3Writer(jet3);
    EXPECT_EQ(jet3Writer.Store(Bytes(64, 1)).size(), kJetLongValueHeader + 64);
    EXPECT_THROW(jet3Writer.Store(Bytes(65, 1)), JetError);
}

}  // namespace
}  // namespace varnix
