// Finding serial devices in a fake /dev and /sys tree, the links that point port names
// at them, and why a real device node or pseudo-terminal does not open.
#include "serial_devices.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config_sandbox.h"
#include "port_diagnosis.h"
#include "port_names.h"
#include "pty_pair.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

constexpr char kById[] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// A machine with a 16550 on ttyS0, nothing behind ttyS1, an FTDI adapter on ttyUSB0
// (with its by-id name) and a CDC modem on ttyACM0.
class SerialDevicesTest : public ::testing::Test {
  protected:
    SerialDevicesTest() {
        for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM0"}) {
            Write("dev/" + std::string(node), "");
        }
        Write("sys/class/tty/ttyS0/type", "4\n");
        Write("sys/class/tty/ttyS1/type", "0\n");
        Usb("ttyUSB0", "usb1/1-2", "1-2:1.0/ttyUSB0", "FT232R USB UART", "FTDI");
        Usb("ttyACM0", "usb1/1-3", "1-3:1.0", "ZUR Modem", "");
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_symlink("../../ttyUSB0", root.string() + kById);
    }
    void Write(const std::string& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << text;
    }
    // The USB device `usb` names the product; the tty's device sits `below` it.
    void Usb(const std::string& tty, const std::string& usb, const std::string& below,
             const std::string& product, const std::string& maker) {
        const std::string device = "sys/devices/pci0000:00/" + usb;
        Write(device + "/product", product + "\n");
        if (!maker.empty()) {
            Write(device + "/manufacturer", maker + "\n");
        }
        fs::create_directories(root / device / below);
        fs::create_directories(root / "sys/class/tty" / tty);
        fs::create_symlink("../../../devices/pci0000:00/" + usb + "/" + below,
                           root / "sys/class/tty" / tty / "device");
    }

    testing::ConfigSandbox sandbox;
    fs::path root = sandbox.Root() / "machine";
};

TEST_F(SerialDevicesTest, FindsAdaptersWithProductsAndOnlyTheUartsThatAreThere) {
    const auto found = FindSerialDevices(root.string());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, "/dev/ttyACM0");
    EXPECT_EQ(found[0].product, "ZUR Modem");
    EXPECT_EQ(found[1].path, "/dev/ttyS0");
    EXPECT_EQ(found[1].product, "built-in serial port");
    EXPECT_EQ(found[2].path, kById);
    EXPECT_EQ(found[2].node, "/dev/ttyUSB0");
    EXPECT_EQ(found[2].product, "FTDI FT232R USB UART");
    EXPECT_TRUE(FindSerialDevices((root / "nowhere").string()).empty());
}

TEST_F(SerialDevicesTest, LinkPointsANameAtADeviceAndRemovingItRestoresTheDefault) {
    const auto found = FindSerialDevices(root.string());
    const PortRoute uart = RoutePort("COM1", found, root.string());
    EXPECT_EQ(uart.path, "/dev/ttyS0");
    EXPECT_TRUE(uart.present);
    EXPECT_FALSE(uart.linked);
    EXPECT_FALSE(RoutePort("COM2", found, root.string()).present);  // no UART behind ttyS1
    EXPECT_FALSE(RoutePort("COM3", found, root.string()).present);  // no ttyS2 at all

    std::string error;
    ASSERT_TRUE(LinkPort("COM3", kById, error)) << error;
    ASSERT_TRUE(LinkPort("COM3", kById, error)) << error;  // replacing its own link
    EXPECT_EQ(ResolvePortPath("COM3"), PortLinkFolder() + "/COM3");
    const PortRoute adapter = RoutePort("COM3", found, root.string());
    EXPECT_EQ(adapter.path, kById);
    EXPECT_TRUE(adapter.linked);
    EXPECT_TRUE(adapter.present);
    EXPECT_EQ(adapter.product, "FTDI FT232R USB UART");

    ASSERT_TRUE(LinkPort("COM3", "", error)) << error;
    EXPECT_EQ(ResolvePortPath("COM3"), "/dev/ttyS2");
    EXPECT_FALSE(LinkPort("../COM3", kById, error));
}

// As the serial port meets them: a link leading nowhere, a port held by another
// program, a device this user may not open.
TEST(PortDiagnosisTest, TellsMissingBusyAndRefusedApart) {
    testing::ConfigSandbox sandbox;
    std::string error;
    ASSERT_TRUE(LinkPort("COM1", "/dev/varnix-no-such-port", error)) << error;
    const auto missing = DiagnosePort("COM1");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->fault, PortOpenFault::Missing);
    EXPECT_EQ(missing->path, "/dev/varnix-no-such-port");
    EXPECT_TRUE(missing->linked);
    EXPECT_EQ(DiagnosePort("").value_or(PortOpenError{}).fault, PortOpenFault::NoName);

    testing::PtyPair held;
    const int other = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(DiagnosePort(held.SlavePath()).value_or(PortOpenError{}).fault, PortOpenFault::Busy);
    close(other);
    EXPECT_EQ(DiagnosePort(held.SlavePath()), std::nullopt);

    // A device of the group "dialout" as udev makes them, looked at by a user outside it
    // (root may open anything, so root asks an unprivileged child).
    testing::PtyPair refused;
    const char* path = refused.SlavePath().c_str();
    const bool root = geteuid() == 0;
    if (root) {
        const group* dialout = getgrnam("dialout");
        ASSERT_EQ(chown(path, 0, dialout != nullptr ? dialout->gr_gid : 0), 0);
        ASSERT_EQ(chmod(path, 0660), 0);
    } else {
        ASSERT_EQ(chmod(path, 0), 0);  // refused to its owner too
    }
    struct stat info {};
    ASSERT_EQ(stat(path, &info), 0);
    const group* owner = getgrgid(info.st_gid);
    int answer[2];
    ASSERT_EQ(pipe(answer), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        const PortOpenError seen = DiagnosePort(path).value_or(PortOpenError{});
        const std::string report = std::to_string(static_cast<int>(seen.fault)) + " " + seen.group;
        (void)!write(answer[1], report.data(), report.size());
        _exit(0);
    }
    close(answer[1]);
    char text[256] = {};
    (void)!read(answer[0], text, sizeof text - 1);
    close(answer[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(text), std::to_string(static_cast<int>(PortOpenFault::NotPermitted)) +
                                     " " + (owner != nullptr ? owner->gr_name : ""));
}

}  // namespace
}  // namespace varnix
