// Which slot a phone row's id names: the load and the save read an id alike, a text id as
// its leading integer (as SQLite converts it), and only 1 to 500 names a slot.
#include "jet_phone_id.h"

#include <gtest/gtest.h>

#include <limits>

namespace varnix {
namespace {

TEST(JetPhoneIdTest, TextIdsReadAsTheirLeadingIntegerAndOnly1To500NameASlot) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    for (auto [text, value] : {std::pair<const char*, std::int64_t>{" \t12abc", 12},
                               {"+7", 7},
                               {"-3", -3},
                               {"abc", 0},
                               {"", 0},
                               {"- 4", 0},
                               {"99999999999999999999", kMax},
                               {"-9223372036854775808", kMin},
                               {"-9223372036854775809", kMin}}) {
        EXPECT_EQ(JetSettingsInteger(JetValue::Str(text)), value) << text;
    }
    EXPECT_EQ(JetSettingsInteger(JetValue::Int(-9)), -9);
    EXPECT_EQ(JetSettingsInteger(JetValue{}), std::nullopt);

    EXPECT_EQ(JetPhoneSlot(JetValue::Int(1)), 1);
    EXPECT_EQ(JetPhoneSlot(JetValue::Int(500)), 500);
    EXPECT_EQ(JetPhoneSlot(JetValue::Str("500 ")), 500);
    for (const JetValue& id : {JetValue::Int(0), JetValue::Int(501), JetValue::Int(-1),
                               JetValue::Int(4294967297), JetValue::Str("x"), JetValue{}}) {
        EXPECT_EQ(JetPhoneSlot(id), std::nullopt) << id.integer << id.text;
    }
}

}  // namespace
}  // namespace varnix
