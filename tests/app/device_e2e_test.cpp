// The four transfers through the window's own buttons, against the virtual relay device
// on a pseudo-terminal linked as COM1.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "device_window_fixture.h"
#include "port_names.h"

namespace varnix {
namespace {

constexpr int kTransferMs = 20000;

class DeviceEndToEndTest : public testing::DeviceWindowFixture {
  protected:
    void FillTable(int count) {
        for (int slot = 1; slot <= count; ++slot) {
            form1->StringGrid1->SetCell(1, slot, QString::fromStdString(GeneratedNumber(slot)));
        }
    }
};

TEST_F(DeviceEndToEndTest, LoadFromDeviceFillsTheTable) {
    FillGeneratedNumbers(state, 7);
    state.timeoutMs = 2500;
    state.externalDisconnect = true;
    Device();
    form1->StringGrid1->SetCell(1, 100, "stale");
    LoadFromDevice();
    EXPECT_EQ(form1->StatusText(), "Communications...");
    ASSERT_TRUE(WaitForStatus("Receiving completed.", kTransferMs)) << form1->StatusText();
    for (int slot = 1; slot <= 7; ++slot) {
        EXPECT_EQ(Cell(slot), GeneratedNumber(slot));
    }
    EXPECT_EQ(Cell(8), "");
    EXPECT_EQ(Cell(100), "");
    EXPECT_EQ(form1->Edit1->text(), "2500");
    EXPECT_TRUE(form1->CheckBox1->isChecked());
    EXPECT_TRUE(messages.empty());
}

TEST_F(DeviceEndToEndTest, WriteToDeviceLeavesExactlyTheTableInTheDevice) {
    FillGeneratedNumbers(state, 40);  // to be replaced
    Device();
    form1->StringGrid1->SetCell(1, 1, "+1");
    form1->StringGrid1->SetCell(1, 2, "22");
    form1->StringGrid1->SetCell(1, 50, "50");
    form1->StringGrid1->SetCell(1, 51, "51");
    form1->StringGrid1->SetCell(1, 52, "52");
    form1->StringGrid1->SetCell(1, 300, "300");
    form1->StringGrid1->SetCell(1, 500, "1234567890123");
    form1->Edit1->setText("1000");
    WriteToDevice();
    ASSERT_TRUE(WaitForStatus("Write data complete...", kTransferMs)) << form1->StatusText();
    const DeviceState& held = Held();
    EXPECT_EQ(held.NumberCount(), 7);
    EXPECT_EQ(held.phones[1], "+1");
    EXPECT_EQ(held.phones[52], "52");
    EXPECT_EQ(held.phones[500], "1234567890123");
    EXPECT_EQ(held.timeoutMs, 1000);
    EXPECT_FALSE(held.externalDisconnect);
}

TEST_F(DeviceEndToEndTest, GetAndSetPassword) {
    state.password = "4321";
    Device();
    GetPassword();
    ASSERT_TRUE(WaitForStatus("Password Receiving completed.", kTransferMs));
    EXPECT_EQ(form1->Edit2->text(), "4321");
    form1->Edit2->setText("2580");
    SetPassword();
    ASSERT_TRUE(WaitForStatus("Set Psaaword Suecced!", kTransferMs)) << form1->StatusText();
    EXPECT_EQ(Held().password, "2580");
}

TEST_F(DeviceEndToEndTest, SilentDeviceEndsEachTransferWithItsFailure) {
    DeviceBehaviour silent;
    silent.silent = true;
    Device(silent);
    LoadFromDevice();
    EXPECT_TRUE(WaitForStatus("Connection failure,Please try again.", kTransferMs));
    WriteToDevice();
    EXPECT_TRUE(WaitForStatus("Write data failed, please try again...", kTransferMs));
    SetPassword();
    EXPECT_TRUE(WaitForStatus("Set Password failed!", kTransferMs));
    GetPassword();
    EXPECT_TRUE(WaitForStatus("Get Psaaword......", kTransferMs));
    QTest::qWait(1200);
    EXPECT_EQ(form1->StatusText(), "Get Psaaword......");
    EXPECT_EQ(form1->Session().Transfer().TransferMode, TransferState::Idle);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DeviceEndToEndTest, MissingPortShowsCanNotOpen) {
    std::filesystem::create_directories(PortLinkFolder());
    std::filesystem::create_symlink("/dev/varnix-no-such-port", PortLinkFolder() + "/COM1");
    LoadFromDevice();
    ASSERT_EQ(Texts(), std::vector<std::string>{"Can not open COM1"});
    // Under it: the device tried, the system's reason, and what to do.
    EXPECT_EQ(messages[0].detail.rfind("Device: /dev/varnix-no-such-port (linked as COM1)\n"
                                       "Reason: No such file or directory\n\n"
                                       "The device is not there. ",
                                       0),
              0u)
        << messages[0].detail;
    EXPECT_EQ(messages[0].title, "Message");
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(form1->Session().PortReady());
    EXPECT_FALSE(form1->Session().Timer().Enabled());
}

TEST_F(DeviceEndToEndTest, RoundTripOfFiveHundredNumbers) {
    DeviceBehaviour wide;
    wide.recordsPerReply = 15;
    Device(wide);
    FillTable(500);
    WriteToDevice();
    ASSERT_TRUE(WaitForStatus("Write data complete...", 90000)) << form1->StatusText();
    ClearAll();
    EXPECT_EQ(Cell(250), "");
    LoadFromDevice();
    ASSERT_TRUE(WaitForStatus("Receiving completed.", 60000)) << form1->StatusText();
    for (int slot = 1; slot <= 500; ++slot) {
        ASSERT_EQ(Cell(slot), GeneratedNumber(slot)) << slot;
    }
    EXPECT_EQ(form1->Edit1->text(), "1");  // the time-out written, read back
}

}  // namespace
}  // namespace varnix
