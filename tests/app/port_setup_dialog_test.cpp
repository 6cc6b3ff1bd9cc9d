#include "port_setup_dialog.h"

#include <gtest/gtest.h>
#include <sys/file.h>

#include <QCoreApplication>
#include <QMainWindow>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include <QAction>
#include <fstream>

#include "config_sandbox.h"
#include "port_names.h"
#include "pty_pair.h"
#include "registry.h"
#include "serial_devices.h"

namespace varnix {
namespace {

const std::string kHiveWith2 =
    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"COM1\"=dword:00000002\n";

class PortSetupDialogTest : public ::testing::Test {
  protected:
    PortSetupDialogTest() {
        PortReady() = true;  // as when the window's transfers hold the port
        boxes.SetAnswerer([this](const MessageRequest& request) {
            reports.push_back(request.text);
            return MessageResult::Ok;
        });
    }
    std::unique_ptr<TForm2> Create() { return std::make_unique<TForm2>(&owner, report, session); }
    bool& PortReady() { return session.Transfer().PortReady; }
    std::string Hive() const { return testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg"); }
    void Ok(TForm2& dialog) {
        QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
        QCoreApplication::processEvents();  // the error report comes after the click
    }

    testing::ConfigSandbox sandbox;
    QMainWindow owner;
    MessageBoxes boxes{&owner};
    ErrorReport report{boxes};
    ConfigRecord values;
    DeviceSession session{values, [](const std::function<void()>& body) { body(); }};
    std::vector<std::string> reports;
};

TEST_F(PortSetupDialogTest, LayoutAndFirstRun) {
    auto dialog = Create();
    EXPECT_EQ(dialog->windowTitle(), "Com Setup");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->GroupBox1->title(), "Setup");
    EXPECT_EQ(dialog->GroupBox1->geometry(), QRect(8, 8, 265, 185));
    EXPECT_EQ(dialog->Label1->text(), "Port:");
    EXPECT_EQ(dialog->ComboBox1->geometry(), QRect(85, 26, 145, 21));
    EXPECT_EQ(dialog->BitBtn1->geometry(), QRect(88, 128, 89, 33));
    EXPECT_EQ(dialog->BitBtn1->text(), "OK");
    EXPECT_FALSE(dialog->ComboBox1->isEditable());
    ASSERT_EQ(dialog->ComboBox1->count(), 15);
    EXPECT_EQ(dialog->ComboBox1->itemText(9), "COM10");
    EXPECT_EQ(dialog->ComboBox1->itemText(14), "COM15");
    EXPECT_EQ(dialog->ChosenPortName(), "COM1");
    EXPECT_EQ(dialog->ComboBox1->nextInFocusChain(), dialog->BitBtn1);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.Folder() / "user.reg"));
}

TEST_F(PortSetupDialogTest, OkStoresTheIndexAndANewStartSelectsIt) {
    auto dialog = Create();
    dialog->show();
    dialog->ComboBox1->setCurrentIndex(2);
    Ok(*dialog);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(PortReady());
    EXPECT_EQ(Hive(), kHiveWith2);
    EXPECT_EQ(Create()->ChosenPortName(), "COM3");

    // OK without a change writes again and clears PortReady again.
    std::filesystem::remove(sandbox.Folder() / "user.reg");
    PortReady() = true;
    Ok(*dialog);
    EXPECT_EQ(Hive(), kHiveWith2);
    EXPECT_FALSE(PortReady());
    EXPECT_TRUE(reports.empty());
}

TEST_F(PortSetupDialogTest, IndexOutsideTheListSelectsNothing) {
    for (const char* stored : {"0000000f", "ffffffff"}) {
        sandbox.WriteHive(std::string("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n") +
                          "\"COM1\"=dword:" + stored + "\n");
        auto dialog = Create();
        EXPECT_EQ(dialog->ComboBox1->currentIndex(), -1) << stored;
        EXPECT_EQ(dialog->ChosenPortName(), "");
        Ok(*dialog);
        EXPECT_NE(Hive().find("\"COM1\"=dword:ffffffff"), std::string::npos);
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(PortSetupDialogTest, WrongValuesAreReportedAndCom1StaysOffered) {
    sandbox.WriteHive("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"COM1\"=\"3\"\n");
    EXPECT_EQ(Create()->ChosenPortName(), "COM1");
    sandbox.WriteHive(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"COM1\"=hex:01,02,03,04,05\n");
    EXPECT_EQ(Create()->ChosenPortName(), "COM1");
    sandbox.WriteHive(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"Other\"=dword:00000001\n");
    EXPECT_EQ(Create()->ChosenPortName(), "COM1");
    // "'" sorts before ".", so the report adds no full stop.
    EXPECT_EQ(reports, (std::vector<std::string>{"Invalid data type for 'COM1'",
                                                 "Failed to get data for 'COM1'",
                                                 "Failed to get data for 'COM1'"}));
}

TEST_F(PortSetupDialogTest, UnwritableFolderReportsAndStillClosesAndClearsPortReady) {
    auto dialog = Create();
    std::ofstream(sandbox.Root() / "plain-file") << "x";
    setenv("XDG_CONFIG_HOME", (sandbox.Root() / "plain-file").c_str(), 1);
    dialog->show();
    Ok(*dialog);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(PortReady());
    EXPECT_EQ(reports, std::vector<std::string>{"Failed to set data for 'COM1'"});
}

TEST_F(PortSetupDialogTest, CorruptHiveLosesNothing) {
    sandbox.WriteHive("garbage \xff\n");
    auto dialog = Create();
    EXPECT_EQ(dialog->ChosenPortName(), "COM1");
    EXPECT_TRUE(reports.empty());
    dialog->ComboBox1->setCurrentIndex(2);
    Ok(*dialog);
    EXPECT_EQ(Hive(), kHiveWith2);
    EXPECT_EQ(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg.bak"), "garbage \xff\n");
}

TEST_F(PortSetupDialogTest, CloseBoxStoresNothingAndKeepsTheSelection) {
    auto dialog = Create();
    QTimer::singleShot(0, dialog.get(), [&] {
        dialog->ComboBox1->setCurrentIndex(4);
        dialog->close();
    });
    dialog->exec();
    EXPECT_TRUE(PortReady());
    EXPECT_FALSE(std::filesystem::exists(sandbox.Folder() / "user.reg"));
    EXPECT_EQ(dialog->ChosenPortName(), "COM5");

    // OK ends a modal showing too.
    QTimer::singleShot(0, dialog.get(), [&] { Ok(*dialog); });
    dialog->exec();
    EXPECT_FALSE(PortReady());
}

TEST_F(PortSetupDialogTest, EachNameTellsItsDeviceAndItsMenuLinksAnAdapter) {
    // A machine with one USB adapter, known by its by-id name, and no UARTs.
    namespace fs = std::filesystem;
    const fs::path machine = sandbox.Root() / "machine";
    const fs::path usb = machine / "sys/devices/usb1/1-2";
    fs::create_directories(usb / "1-2:1.0/ttyUSB0");
    fs::create_directories(machine / "sys/class/tty/ttyUSB0");
    fs::create_directories(machine / "dev/serial/by-id");
    std::ofstream(usb / "product") << "CP2102 USB to UART Bridge Controller\n";
    std::ofstream(machine / "dev/ttyUSB0");
    fs::create_symlink("../../../devices/usb1/1-2/1-2:1.0/ttyUSB0",
                       machine / "sys/class/tty/ttyUSB0/device");
    fs::create_symlink("../../ttyUSB0", machine / "dev/serial/by-id/usb-Silicon_Labs_CP2102-if00");

    auto dialog = Create();
    dialog->SetDeviceRoot(machine.string());
    dialog->show();
    QComboBox* names = dialog->ComboBox1;
    for (int i = 0; i < names->count(); ++i) {
        const QString text = names->itemData(i, Qt::ToolTipRole).toString();
        EXPECT_EQ(text, QString("COM%1 opens /dev/ttyS%2\nno device").arg(i + 1).arg(i));
        EXPECT_EQ(names->itemData(i, Qt::AccessibleDescriptionRole).toString(), text);
    }

    std::unique_ptr<QMenu> menu(dialog->LinkMenu(2));
    const QList<QAction*> actions = menu->actions();
    const auto adapter = std::find_if(actions.begin(), actions.end(), [](QAction* action) {
        return action->text().startsWith("/dev/serial/by-id/");
    });
    ASSERT_NE(adapter, actions.end());
    EXPECT_EQ((*adapter)->text(),
              "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00 (CP2102 USB to UART Bridge "
              "Controller)");
    (*adapter)->trigger();
    EXPECT_EQ(fs::read_symlink(PortLinkFolder() + "/COM3"),
              "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00");
    names->setCurrentIndex(2);
    EXPECT_EQ(names->toolTip(),
              "COM3 opens /dev/serial/by-id/usb-Silicon_Labs_CP2102-if00 "
              "(linked)\nCP2102 USB to UART Bridge Controller");
    EXPECT_EQ(names->accessibleDescription(), names->toolTip());
    EXPECT_TRUE(reports.empty());
}

// The port the window's own transfers hold is the selected one, and it is no other
// program's; any other held port is.
TEST_F(PortSetupDialogTest, TheWindowsOwnOpenPortIsNotCalledBusy) {
    testing::PtyPair own, other;
    std::vector<int> holders;
    for (const testing::PtyPair* pty : {&own, &other}) {
        holders.push_back(open(pty->SlavePath().c_str(), O_RDWR | O_NOCTTY));
        ASSERT_GE(holders.back(), 0);
        ASSERT_EQ(flock(holders.back(), LOCK_EX | LOCK_NB), 0);
    }
    std::string error;
    ASSERT_TRUE(LinkPort("COM1", own.SlavePath(), error)) << error;
    ASSERT_TRUE(LinkPort("COM2", other.SlavePath(), error)) << error;
    auto dialog = Create();
    dialog->show();
    QComboBox* names = dialog->ComboBox1;
    EXPECT_EQ(names->itemData(0, Qt::ToolTipRole).toString().toStdString(),
              "COM1 opens " + own.SlavePath() + " (linked)\ndevice present");
    EXPECT_EQ(names->itemData(1, Qt::ToolTipRole).toString().toStdString(),
              "COM2 opens " + other.SlavePath() +
                  " (linked)\ndevice present\nbusy (another program holds it)");
    PortReady() = false;  // the window holds no port
    dialog->DescribePorts();
    EXPECT_TRUE(
        names->itemData(0, Qt::ToolTipRole).toString().endsWith("busy (another program holds it)"));
    for (int fd : holders) {
        close(fd);
    }
}

}  // namespace
}  // namespace varnix
