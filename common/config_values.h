// The device's whole configuration as every part of the program reaches it: phone slots
// 1 to 500, the relay time-out as typed, the external disconnection flag and the
// password. The window keeps it in its controls, the command line in a ConfigRecord; the
// device transfers, the settings files and CSV read and write it through this interface.
// Texts are UTF-8.
#pragma once

#include <array>
#include <string>

#include "device_values.h"

namespace varnix {

class ConfigValues {
  public:
    virtual ~ConfigValues() = default;
    virtual std::string PhoneText(int slot) const = 0;
    virtual void SetPhoneText(int slot, const std::string& text) = 0;
    virtual std::string TimeoutText() const = 0;
    virtual void SetTimeoutText(const std::string& text) = 0;
    virtual bool ExternalDisconnect() const = 0;
    virtual void SetExternalDisconnect(bool on) = 0;
    virtual std::string PasswordText() const = 0;
    virtual void SetPasswordText(const std::string& text) = 0;
};

// The configuration in memory, starting as "Crear All" leaves the window: every slot
// empty, time-out "0", the flag off and the default password. A slot outside 1 to 500
// reads empty and takes nothing.
class ConfigRecord : public ConfigValues {
  public:
    std::string PhoneText(int slot) const override {
        return InRange(slot) ? phones_[static_cast<std::size_t>(slot - 1)] : std::string();
    }
    void SetPhoneText(int slot, const std::string& text) override {
        if (InRange(slot)) {
            phones_[static_cast<std::size_t>(slot - 1)] = text;
        }
    }
    std::string TimeoutText() const override { return timeout_; }
    void SetTimeoutText(const std::string& text) override { timeout_ = text; }
    bool ExternalDisconnect() const override { return external_; }
    void SetExternalDisconnect(bool on) override { external_ = on; }
    std::string PasswordText() const override { return password_; }
    void SetPasswordText(const std::string& text) override { password_ = text; }

    // The number of slots that hold a number.
    int FilledSlots() const {
        int filled = 0;
        for (const std::string& text : phones_) {
            filled += text.empty() ? 0 : 1;
        }
        return filled;
    }

  private:
    static bool InRange(int slot) { return slot >= 1 && slot <= kSlotCount; }

    std::array<std::string, kSlotCount> phones_{};
    std::string timeout_ = "0";
    bool external_ = false;
    std::string password_ = kDefaultPassword;
};

}  // namespace varnix
