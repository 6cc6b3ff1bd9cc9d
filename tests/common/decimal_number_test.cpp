// The one reading of a decimal number typed or stored.
#include "decimal_number.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace varnix {
namespace {

TEST(DecimalNumberTest, SignedThirtyTwoBitsWithBlanksAroundAndNothingElse) {
    std::int32_t v = -1;
    EXPECT_TRUE(ParseDecimalInt32(" 1000 ", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(ParseDecimalInt32("\t007\r\n", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ParseDecimalInt32("-5", v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(ParseDecimalInt32("+12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(ParseDecimalInt32("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    v = 42;
    for (const char* bad : {"", "   ", "2147483648", "1 2", "12a", "+-1", "++1", "0x10", "-"}) {
        EXPECT_FALSE(ParseDecimalInt32(bad, v)) << bad;
    }
    EXPECT_EQ(v, 42);
}

}  // namespace
}  // namespace varnix
