// Plain fakes of what the device transfers use: a port that records every frame sent, the
// on-screen values as fields, and windowing services that keep the status line and the
// message boxes shown. Shared by the transfer tests and the transfer fuzz target.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "link_frame.h"
#include "transfer_interfaces.h"

namespace varnix::testing {

using Bytes = std::vector<std::uint8_t>;

struct FakePort : TransferPort {
    void ClosePort() override {
        ++closes;
        open = false;
    }
    void SetCommName(const std::string& name) override { commName = name; }
    void OpenPort() override {
        if (failOpen) {
            throw std::runtime_error("Error opening serial port");
        }
        ++opens;
        open = true;
    }
    bool SendData(const std::uint8_t* buffer, std::uint16_t length) override {
        sent.emplace_back(buffer, buffer + length);
        return open && length > 0;
    }
    bool open = false;
    bool failOpen = false;
    int opens = 0;
    int closes = 0;
    std::string commName;
    std::vector<Bytes> sent;
};

// Slots outside 1 to 500 throw: the transfers must never reach the header row or beyond.
struct FakeScreen : TransferScreen {
    std::string PhoneText(int slot) const override { return phones[Checked(slot)]; }
    void SetPhoneText(int slot, const std::string& text) override { phones[Checked(slot)] = text; }
    std::string TimeoutText() const override { return timeout; }
    void SetTimeoutText(const std::string& text) override { timeout = text; }
    bool ExternalDisconnect() const override { return flag; }
    void SetExternalDisconnect(bool on) override { flag = on; }
    std::string PasswordText() const override { return password; }
    void SetPasswordText(const std::string& text) override { password = text; }
    std::string ChosenPortName() const override { return portName; }

    static std::size_t Checked(int slot) {
        if (slot < 1 || slot > kSlotCount) {
            throw std::out_of_range("phone slot " + std::to_string(slot));
        }
        return static_cast<std::size_t>(slot);
    }

    std::array<std::string, kSlotCount + 1> phones;
    std::string timeout = "1";
    bool flag = false;
    std::string password = "7093";
    std::string portName = "COM1";
};

struct FakeServices : TransferServices {
    void ShowStartFailure(const std::string& text) override { messages.push_back(text); }
    void SetStatusText(const std::string& text) override { status = text; }
    void EnableTimer() override { timerEnabled = true; }
    std::vector<std::string> messages;
    std::string status = "Status bar .....";
    bool timerEnabled = false;
};

}  // namespace varnix::testing
