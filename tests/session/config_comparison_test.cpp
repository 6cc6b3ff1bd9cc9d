// The comparison of two configurations: what counts as equal, the order of the
// differences and the lines the command line prints for them.
#include "config_comparison.h"

#include <gtest/gtest.h>

namespace varnix {
namespace {

using Field = ConfigDifference::Field;

TEST(ConfigComparisonTest, TimeoutComparesByNumberWhereBothAreNumbers) {
    ConfigRecord device;
    ConfigRecord other;
    device.SetTimeoutText("0100");
    other.SetTimeoutText("100");
    EXPECT_TRUE(CompareConfigs(device, other).empty());
    other.SetTimeoutText("0200");
    auto differences = CompareConfigs(device, other);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(DescribeDifference(differences[0]), "time-out: device 100 ms, file 200 ms");
    // Texts that are not numbers are compared as they are.
    device.SetTimeoutText("1o0");
    other.SetTimeoutText("1o0");
    EXPECT_TRUE(CompareConfigs(device, other).empty());
    other.SetTimeoutText("");
    differences = CompareConfigs(device, other);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(DescribeDifference(differences[0]), "time-out: device 1o0, file (empty)");
}

TEST(ConfigComparisonTest, ListsTimeoutFlagThenSlotsInOrder) {
    ConfigRecord device;
    ConfigRecord other;
    EXPECT_EQ(DescribeComparison(CompareConfigs(device, other)), "no differences");
    other.SetPhoneText(500, "+500");
    device.SetPhoneText(7, "+3859111");
    other.SetPhoneText(7, "+3859112");
    // Slot texts count as equal only when identical.
    device.SetPhoneText(3, "+33");
    other.SetPhoneText(3, "+33 ");
    device.SetPhoneText(4, "+44");
    other.SetPhoneText(4, "+44");
    device.SetExternalDisconnect(true);
    device.SetTimeoutText("5");
    // The password is not compared.
    other.SetPasswordText("1234");

    const auto differences = CompareConfigs(device, other);
    ASSERT_EQ(differences.size(), 5u);
    EXPECT_EQ(differences[0].field, Field::Timeout);
    EXPECT_EQ(differences[1].field, Field::ExternalDisconnect);
    EXPECT_EQ(differences[2].slot, 3);
    EXPECT_EQ(differences[3].slot, 7);
    EXPECT_EQ(differences[4].slot, 500);
    EXPECT_EQ(differences[1].slot, 0);
    EXPECT_EQ(DescribeDifference(differences[1]), "external disconnection: device on, file off");
    EXPECT_EQ(DescribeDifference(differences[3]), "slot 7: device \"+3859111\", file \"+3859112\"");
    EXPECT_EQ(DescribeDifference(differences[4]), "slot 500: device (empty), file \"+500\"");
    EXPECT_EQ(DescribeComparison(differences),
              "5 differences: 3 slots, the time-out, the external disconnection");
    EXPECT_EQ(DescribeComparison({differences[3]}), "1 difference: 1 slot");
}

}  // namespace
}  // namespace varnix
