// The check a write runs before anything goes to the device, on its own: which time-outs
// the device takes, and how the slots that typing cannot produce are named.
#include "write_check.h"

#include <gtest/gtest.h>

#include <utility>

#include "config_values.h"

namespace varnix {
namespace {

WriteCheck CheckTimeout(const std::string& timeout) {
    ConfigRecord values;
    values.SetTimeoutText(timeout);
    return CheckWriteValues(values);
}

TEST(WriteCheckTest, TimeoutIsOneToFiveDigitsUpTo59999) {
    EXPECT_EQ(DeviceTimeout("59999"), 59999);
    EXPECT_EQ(DeviceTimeout(" 0 "), 0);
    EXPECT_TRUE(CheckTimeout("59999").Passed());
    for (auto [text, message] :
         {std::pair{"60000", "Relay TimeOut more than 59 seconds."},
          std::pair{"4294967301", "Relay TimeOut more than 59 seconds."},
          std::pair{"", "Please enter the digital."}, std::pair{"-5", "Please enter the digital."},
          std::pair{"+5", "Please enter the digital."},
          std::pair{"12x", "Please enter the digital."}}) {
        const WriteCheck check = CheckTimeout(text);
        EXPECT_FALSE(check.Passed()) << text;
        EXPECT_EQ(check.Text(), message) << text;
        EXPECT_EQ(DeviceTimeout(text), std::nullopt) << text;
    }
}

// What a file can bring and typing cannot: the first slots at fault are named, ascending,
// with how many more there are; a long text is shown by its start, never cut inside a
// UTF-8 character.
TEST(WriteCheckTest, SlotsAtFaultAreNamedFirstFewThenCounted) {
    ConfigRecord values;
    for (const auto& [slot, text] : {std::pair<int, const char*>{12, "+385911234567"},
                                     {11, "+1 2"},
                                     {10, "caf\xC3\xA9"},
                                     {9, "12345678901234567890"},
                                     {7, "two"}}) {
        values.SetPhoneText(slot, text);
    }
    const WriteCheck check = CheckWriteValues(values);
    EXPECT_FALSE(check.timeout);
    EXPECT_EQ(
        check.Text(),
        "4 slots cannot go to the device: slot 7 \"two\" holds characters other than the "
        "digits and \"+\"; slot 9 \"12345678901234567890\" is longer than 13 "
        "characters; slot 10 \"caf\xC3\xA9\" holds characters other than the digits and \"+\"; and "
        "1 more.");

    ConfigRecord one;
    one.SetTimeoutText("x");
    one.SetPhoneText(500, std::string(23, '1') + "\xC3\xA9" + "1");
    EXPECT_EQ(CheckWriteValues(one).Text(),
              "Please enter the digital.\nSlot 500 \"" + std::string(23, '1') +
                  "...\" holds characters other than the digits and \"+\", so it cannot go to "
                  "the device.");
}

}  // namespace
}  // namespace varnix
