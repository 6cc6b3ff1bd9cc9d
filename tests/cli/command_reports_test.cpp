// What show, check and compare print: a time-out that is no number stays text, counts
// take their singular, and the JSON objects hold the same facts as the lines.
#include "command_reports.h"

#include <gtest/gtest.h>

namespace varnix {
namespace {

TEST(CommandReportsTest, LinesSayWhatIsHeldAndWhatAWriteStillNeeds) {
    ConfigRecord values;
    values.SetTimeoutText("25o");
    values.SetExternalDisconnect(true);
    values.SetPhoneText(500, "7");
    const ConfigSummary held = Summarise(values);
    EXPECT_EQ(ShowLine("COM2", held),
              "COM2 holds: relay time-out \"25o\", external disconnection on, 1 number.");
    EXPECT_EQ(ShowJson("COM2", held),
              "{\"port\":\"COM2\",\"timeoutText\":\"25o\",\"externalDisconnect\":true,"
              "\"numbers\":1}");

    CheckFindings empty{"a.mdb", {"250", false, 0}, {}, false};
    EXPECT_EQ(CheckLine(empty),
              "a.mdb can be written to a device: relay time-out 250 ms, external disconnection "
              "off, 0 numbers; it holds no numbers, so a write empties the device and needs "
              "--allow-empty.");
    empty.check.timeout = StartProblem::TimeoutTooLarge;
    empty.check.badSlots = {{4, "x", "holds characters other than the digits and \"+\""}};
    EXPECT_EQ(CheckJson(empty),
              "{\"file\":\"a.mdb\",\"writable\":false,\"timeoutMs\":250,\"externalDisconnect\":"
              "false,\"numbers\":0,\"needsSettings\":false,\"timeoutFault\":\"Relay TimeOut more "
              "than 59 seconds.\",\"slotFaults\":[{\"slot\":4,\"text\":\"x\",\"reason\":\"holds "
              "characters other than the digits and \\\"+\\\"\"}]}");
}

TEST(CommandReportsTest, CompareJsonNamesEachFieldAndSlot) {
    using Field = ConfigDifference::Field;
    EXPECT_EQ(CompareJson("COM1", "a.mdb", {}),
              "{\"port\":\"COM1\",\"file\":\"a.mdb\",\"same\":true,\"differences\":[]}");
    EXPECT_EQ(CompareJson("COM1", "a.mdb",
                          {{Field::Timeout, 0, "400", "250"},
                           {Field::ExternalDisconnect, 0, "on", "off"},
                           {Field::Slot, 7, "", "+385"}}),
              "{\"port\":\"COM1\",\"file\":\"a.mdb\",\"same\":false,\"differences\":["
              "{\"field\":\"timeout\",\"device\":\"400\",\"file\":\"250\"},"
              "{\"field\":\"externalDisconnect\",\"device\":\"on\",\"file\":\"off\"},"
              "{\"field\":\"slot\",\"slot\":7,\"device\":\"\",\"file\":\"+385\"}]}");
}

}  // namespace
}  // namespace varnix
