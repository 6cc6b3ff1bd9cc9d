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
            throw PortOpenFailure("Error opening serial port", {PortOpenFault::Busy, commName});
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
struct FakeScreen : ConfigValues {
    std::string PhoneText(int slot) const override { return phones[Checked(slot)]; }
    void SetPhoneText(int slot, const std::string& text) override { phones[Checked(slot)] = text; }
    std::string TimeoutText() const override { return timeout; }
    void SetTimeoutText(const std::string& text) override { timeout = text; }
    bool ExternalDisconnect() const override { return flag; }
    void SetExternalDisconnect(bool on) override { flag = on; }
    std::string PasswordText() const override { return password; }
    void SetPasswordText(const std::string& text) override { password = text; }

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
};

// The typed reports are kept as words: "done read", "failed write 0", "read 5 of 7".
struct FakeServices : TransferServices {
    std::string PortName() const override { return portName; }
    void StartFailed(const StartFailure& failure) override {
        messages.push_back(failure.text);
        lastFailure = failure;
    }
    void SetStatusText(const std::string& text) override { status = text; }
    void EnableTimer() override {
        if (timerFails) {
            throw std::runtime_error("no timer left");
        }
        timerEnabled = true;
    }
    void TransferProgress(TransferKind kind, int done, int total) override {
        reports.push_back(Name(kind) + " " + std::to_string(done) + " of " + std::to_string(total));
    }
    void TransferDone(TransferKind kind) override { reports.push_back("done " + Name(kind)); }
    void TransferFailed(TransferKind kind, TransferFailure failure) override {
        reports.push_back("failed " + Name(kind) + " " + std::to_string(static_cast<int>(failure)));
    }
    static std::string Name(TransferKind kind) {
        constexpr const char* kNames[] = {"read", "write", "get", "set"};
        return kNames[static_cast<int>(kind)];
    }
    std::vector<std::string> messages;
    StartFailure lastFailure{};
    std::vector<std::string> reports;
    std::string status = "Status bar .....";
    std::string portName = "COM1";
    bool timerEnabled = false;
    bool timerFails = false;
};

}  // namespace varnix::testing
