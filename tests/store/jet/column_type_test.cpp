// The column-type table against every column of every sample: each type's width, place in
// the row and kind of value as the files store them; and the range of each integer type.
#include <gtest/gtest.h>

#include <cstdint>

#include "jet/column_type.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

TEST(JetColumnType, EverySampleColumnHasTheFactsOfItsType) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t checked = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        for (const JetColumnDef& column : table.def.columns) {
            SCOPED_TRACE(table.Name() + " " + column.name);
            const JetColumnType& type = JetColumnTypeOf(column.type);
            ASSERT_NE(type.name, kJetUnknownType.name);
            // Access keeps the integers of its own tables in variable columns too, so the
            // width is the type's fact, not the place.
            if (type.longValue) {
                EXPECT_FALSE(column.Fixed());
            } else if (type.integerBytes != 0) {
                EXPECT_EQ(column.length, type.integerBytes);
            } else if (column.type == kJetTypeText || column.type == kJetTypeBinary) {
                EXPECT_FALSE(column.Fixed());
                EXPECT_LE(column.length, type.newLength);
                EXPECT_GT(column.length, 0);
                continue;
            } else if (type.newLength == 0) {
                continue;  // a type Varnix neither reads nor makes
            }
            EXPECT_EQ(column.length, type.newLength);
            ++checked;
        }
    }
    EXPECT_GT(checked, 400u);
}

TEST(JetColumnType, IntegersFitTheirTypesExactlyToTheirLimits) {
    struct Range {
        std::uint8_t type;
        std::int64_t lowest, highest;
    };
    for (const Range& range : {Range{kJetTypeByte, 0, 255}, Range{kJetTypeInt16, -32768, 32767},
                               Range{kJetTypeInt32, INT32_MIN, INT32_MAX}}) {
        const JetColumnType& type = JetColumnTypeOf(range.type);
        SCOPED_TRACE(type.name);
        EXPECT_TRUE(JetIntegerFits(type, range.lowest));
        EXPECT_TRUE(JetIntegerFits(type, range.highest));
        EXPECT_FALSE(JetIntegerFits(type, range.lowest - 1));
        EXPECT_FALSE(JetIntegerFits(type, range.highest + 1));
    }
    EXPECT_FALSE(JetIntegerFits(JetColumnTypeOf(kJetTypeText), 0));
    EXPECT_FALSE(JetIntegerFits(JetColumnTypeOf(kJetTypeDateTime), 0));
    EXPECT_EQ(JetTypeName(kJetTypeDateTime), "Date/Time");
    EXPECT_EQ(JetTypeName(kJetTypeBinaryChunk), "type 17");
    EXPECT_EQ(JetTypeName(200), "type 200");
}

}  // namespace
}  // namespace varnix
