// The serial core on the Win32 communications API, without Qt, run under Wine. Each test
// is started by scripts/windows/with-relay-device, which puts the virtual relay device
// (a Linux program) on a pseudo-terminal that the prefix maps as COM1 and COM12, with the
// device options the test's CMake entry names. No other port name is ever opened.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "comm_inbox.h"
#include "device_transfer.h"
#include "link_frame.h"
#include "port_backend.h"
#include "port_names.h"
#include "transfer_fakes.h"

// After the component's headers: they define the comm flags under their Windows names.
#include <windows.h>

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = CommMessage::Kind;

// The values the main window's port is created with.
LineSettings MainWindowLine() {
    LineSettings line;
    line.dtrControl = TDtrControl::DtrHandshake;
    line.txContinueOnXoff = false;
    line.outxXonXoffFlow = false;
    line.inxXonXoffFlow = false;
    line.rtsControl = TRtsControl::RtsDisable;
    line.xonChar = '0';
    line.xoffChar = '0';
    return line;
}

class SerialWin32Test : public ::testing::Test {
  protected:
    void TearDown() override { port->Close(); }

    void Open(const std::string& name = "COM1") { port->Open(name, MainWindowLine(), {}); }

    // The message of a failed open, and the fault it carries.
    using Failure = std::pair<std::string, PortOpenFault>;
    Failure OpenFailure(const std::string& name) {
        try {
            Open(name);
        } catch (const ECommsError& error) {
            return {error.what(), error.Cause().fault};
        }
        return {"(no error)", PortOpenFault::Other};
    }

    // The next message the threads posted, waiting up to `ms` on the inbox's event.
    std::optional<CommMessage> Next(DWORD ms = 5000) {
        const ULONGLONG deadline = ::GetTickCount64() + ms;
        for (;;) {
            inbox.ClearWake();
            if (auto message = inbox.Take()) {
                return message;
            }
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline ||
                ::WaitForSingleObject(reinterpret_cast<HANDLE>(inbox.WakeHandle()),
                                      static_cast<DWORD>(deadline - now)) != WAIT_OBJECT_0) {
                return std::nullopt;
            }
        }
    }

    // The next message of `kind`, skipping others; none when it does not come in time.
    std::optional<CommMessage> NextOf(Kind kind, DWORD ms = 5000) {
        while (auto message = Next(ms)) {
            if (message->kind == kind) {
                return message;
            }
        }
        return std::nullopt;
    }

    bool Send(const Bytes& bytes) {
        return port->Send(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    }

    static Bytes ReadRequest() {
        Bytes frame(kShortFrameLength);
        BuildShortFrame(frame.data(), Command::ReadRequest);
        return frame;
    }

    CommInbox inbox;
    std::unique_ptr<PortBackend> port = MakePortBackend(inbox);
};

TEST_F(SerialWin32Test, OpensClosesAndReopensAfreshAndRefusesMissingPorts) {
    Open();
    EXPECT_TRUE(port->IsOpen());
    ASSERT_TRUE(NextOf(Kind::TxEmpty)) << "the writer announces its empty queue at start";
    port->Close();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(Send(ReadRequest()));
    port->Close();  // closing a closed port does nothing

    // The same device as COM12: Windows opens names from COM10 on only in the device
    // namespace.
    Open("COM12");
    EXPECT_TRUE(port->IsOpen());
    EXPECT_TRUE(NextOf(Kind::TxEmpty));
    EXPECT_TRUE(Send(ReadRequest()));
    EXPECT_TRUE(NextOf(Kind::Data)) << "the reopened port talks to the device";
    port->Close();
    EXPECT_FALSE(NextOf(Kind::Hangup, 500)) << "closing is no hang-up";

    EXPECT_EQ(OpenFailure("NOSUCHPORT"),
              Failure("Error opening serial port", PortOpenFault::Missing));
    EXPECT_EQ(OpenFailure(""), Failure("Error opening serial port", PortOpenFault::NoName));
    EXPECT_EQ(OpenFailure("C:\\windows\\win.ini"),
              Failure("File handle is not a comm handle ", PortOpenFault::NotADevice));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(Send(ReadRequest()));
}

TEST(PortNamesWin32, EveryNameOpensInTheDeviceNamespaceSoComTenAndAboveOpen) {
    EXPECT_EQ(ResolvePortPath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(ResolvePortPath("COM15"), "\\\\.\\COM15");
    EXPECT_EQ(ResolvePortPath(""), std::nullopt);
}

TEST_F(SerialWin32Test, AFrameGoesOutAndTheWholeReplyComesBackAsOneChunk) {
    Open();
    ASSERT_TRUE(NextOf(Kind::TxEmpty));
    ASSERT_TRUE(Send(ReadRequest()));
    EXPECT_TRUE(NextOf(Kind::TxEmpty)) << "announced again once the block is written";
    const auto data = NextOf(Kind::Data);
    ASSERT_TRUE(data);
    const Bytes& block = data->block;
    ASSERT_EQ(block.size(), kParametersFrameLength + 1);
    EXPECT_EQ(block.back(), 0) << "a zero byte follows the data";
    const Reply reply = RecognizeReply(block.data(), block.size() - 1);
    EXPECT_EQ(reply.kind, ReplyKind::Parameters);
    EXPECT_EQ(reply.recordCount, 3);  // the device holds three numbers
}

TEST_F(SerialWin32Test, TheFarEndClosingRequestsAHangup) {
    Open();
    ASSERT_TRUE(Send(ReadRequest()));  // the device closes the line on this frame
    EXPECT_TRUE(NextOf(Kind::Hangup));
    // The writer learns it from its next write, and from then on refuses blocks.
    const ULONGLONG end = ::GetTickCount64() + 5000;
    while (Send(ReadRequest()) && ::GetTickCount64() < end) {
        ::Sleep(10);
    }
    EXPECT_FALSE(Send(ReadRequest()));
    port->Close();
    EXPECT_FALSE(port->IsOpen());
}

// What the driver holds for COM1, read through a second handle: Wine, unlike Windows,
// lets an unshared port be opened twice, and answers from the pseudo-terminal's settings.
// A pseudo-terminal always keeps 8 data bits and no parity, so those cannot be seen here.
DCB DriverState() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const HANDLE second = ::CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(::GetCommState(second, &dcb));
    ::CloseHandle(second);
    return dcb;
}

TEST_F(SerialWin32Test, LineSettingsReachTheDriverAtOpenAndWhileOpen) {
    LineSettings line = MainWindowLine();
    line.baudRate = 19200;
    line.stopBits = TStopBits::_2;
    line.outxCtsFlow = true;
    line.outxXonXoffFlow = true;
    port->Open("COM1", line, {});
    DCB dcb = DriverState();
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);

    port->ApplyLine(MainWindowLine());
    dcb = DriverState();
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutX);
}

// The device's input lines are read from the file that with-relay-device names in
// VARNIX_MODEM_LINES (the modem-line library preloaded into Wine reads it at every poll).
void SetInputLines(int bits) {
    const char* lines = std::getenv("VARNIX_MODEM_LINES");
    ASSERT_NE(lines, nullptr);
    std::ofstream(std::string("Z:") + lines, std::ios::trunc) << bits << "\n";
}

TEST_F(SerialWin32Test, CarrierChangesAreModemEvents) {
    constexpr int kCarrier = 0x040;  // TIOCM_CAR
    // Wine takes the lines it compares with when the comm-event wait starts. The reader
    // starts it again before it reads, so once a reply has come back it is pending.
    const auto replyCameBack = [&] { return Send(ReadRequest()) && NextOf(Kind::Data); };
    SetInputLines(0);
    Open();
    ASSERT_TRUE(replyCameBack());
    SetInputLines(kCarrier);
    auto modem = NextOf(Kind::Modem);
    ASSERT_TRUE(modem);
    EXPECT_EQ(modem->value, MODEM_CARRIER);
    ASSERT_TRUE(replyCameBack()) << "the reader goes on after a modem event";
    SetInputLines(0);
    modem = NextOf(Kind::Modem);
    ASSERT_TRUE(modem);
    EXPECT_EQ(modem->value, MODEM_CARRIER);
}

// The transfers of the program, driven by a plain 500 ms tick, over the Win32 core.
class BackendTransferPort : public TransferPort {
  public:
    explicit BackendTransferPort(PortBackend& port) : port_(port) {}
    void ClosePort() override { port_.Close(); }
    void SetCommName(const std::string& name) override { name_ = name; }
    void OpenPort() override { port_.Open(name_, MainWindowLine(), {}); }
    bool SendData(const std::uint8_t* buffer, std::uint16_t length) override {
        return length != 0 && port_.Send(buffer, length);
    }

  private:
    PortBackend& port_;
    std::string name_;
};

class SerialWin32TransferTest : public SerialWin32Test {
  protected:
    // Runs the transfer that `start` begins, ticking every 500 ms, until the status line
    // reads `done`; false when it did not start or did not get there in time.
    template <typename Start>
    bool Run(Start start, const std::string& done, DWORD limitMs = 30000) {
        start();
        const ULONGLONG end = ::GetTickCount64() + limitMs;
        ULONGLONG tick = ::GetTickCount64() + 500;
        while (services.messages.empty() && services.status != done) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= end) {
                return false;
            }
            if (now >= tick) {
                transfer.Tick();
                tick += 500;
                continue;
            }
            if (auto message = Next(static_cast<DWORD>(tick - now))) {
                if (message->kind == Kind::Data) {
                    transfer.ReceiveBurst(message->block.data(),
                                          static_cast<std::uint16_t>(message->block.size() - 1));
                }
            }
        }
        return services.messages.empty();
    }

    std::string Shown() const {
        std::string shown = "status \"" + services.status + "\"";
        for (const std::string& message : services.messages) {
            shown += ", message \"" + message + "\"";
        }
        return shown;
    }

    BackendTransferPort transferPort{*port};
    testing::FakeScreen screen;
    testing::FakeServices services;
    DeviceTransfer transfer{transferPort, screen, services};
};

TEST_F(SerialWin32TransferTest, ReadsTheDeviceThenWritesATableThatReadsBackTheSame) {
    ASSERT_TRUE(Run([&] { transfer.StartRead(); }, "Receiving completed.")) << Shown();
    int loaded = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        loaded += screen.phones[slot].empty() ? 0 : 1;
    }
    EXPECT_EQ(loaded, 12);  // the device starts with twelve numbers

    for (int slot = 1; slot <= kSlotCount; ++slot) {
        screen.phones[slot].clear();
    }
    const std::vector<std::pair<int, std::string>> table = {
        {1, "+1"}, {2, "22"}, {50, "50"}, {51, "51"}, {300, "300"}, {500, "1234567890123"}};
    for (const auto& [slot, number] : table) {
        screen.phones[slot] = number;
    }
    screen.timeout = "1000";
    ASSERT_TRUE(Run([&] { transfer.StartWrite(); }, "Write data complete...")) << Shown();

    screen = testing::FakeScreen{};
    ASSERT_TRUE(Run([&] { transfer.StartRead(); }, "Receiving completed.")) << Shown();
    testing::FakeScreen expected;
    for (const auto& [slot, number] : table) {
        expected.phones[slot] = number;
    }
    EXPECT_EQ(screen.phones, expected.phones);
    EXPECT_EQ(screen.timeout, "1000");
}

}  // namespace
}  // namespace varnix
