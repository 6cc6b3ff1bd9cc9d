// On-screen values for the load fuzz targets: they keep nothing, and abort when a load
// writes a phone slot outside the table.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "device_values.h"
#include "settings_file.h"

namespace varnix {

struct CheckedValues : ConfigValues {
    std::string PhoneText(int) const override { return {}; }
    void SetPhoneText(int slot, const std::string&) override {
        if (slot < 1 || slot > kSlotCount) {
            std::fprintf(stderr, "phone written outside the table: %d\n", slot);
            std::abort();
        }
    }
    std::string TimeoutText() const override { return {}; }
    void SetTimeoutText(const std::string&) override {}
    bool ExternalDisconnect() const override { return false; }
    void SetExternalDisconnect(bool) override {}
    std::string PasswordText() const override { return {}; }
    void SetPasswordText(const std::string&) override {}
};

}  // namespace varnix
