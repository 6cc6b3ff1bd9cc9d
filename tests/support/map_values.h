// On-screen values for the store's tests: the phone slots in a map, the time-out and the
// flag in plain fields.
#pragma once

#include <map>
#include <string>

#include "settings_file.h"

namespace varnix::testing {

class MapValues : public ConfigValues {
  public:
    std::string PhoneText(int slot) const override {
        const auto found = phones.find(slot);
        return found == phones.end() ? std::string() : found->second;
    }
    void SetPhoneText(int slot, const std::string& text) override { phones[slot] = text; }
    std::string TimeoutText() const override { return timeout; }
    void SetTimeoutText(const std::string& text) override { timeout = text; }
    bool ExternalDisconnect() const override { return external; }
    void SetExternalDisconnect(bool on) override { external = on; }
    std::string PasswordText() const override { return password; }
    void SetPasswordText(const std::string& text) override { password = text; }

    // The non-empty slots only, so two sets of values compare as the files hold them.
    std::map<int, std::string> Filled() const {
        std::map<int, std::string> filled;
        for (const auto& [slot, text] : phones) {
            if (!text.empty()) {
                filled[slot] = text;
            }
        }
        return filled;
    }

    std::map<int, std::string> phones;
    std::string timeout = "0";
    bool external = false;
    std::string password = kDefaultPassword;
};

}  // namespace varnix::testing
