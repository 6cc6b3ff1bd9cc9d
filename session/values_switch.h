// The values the device transfers work on, passed through to one of two places: the
// session's own values (the window's controls, the command line's record) or the copy a
// read for comparison fills. The transfer keeps this one reference for its lifetime; the
// session points it where the next transfer is to read from and write into.
#pragma once

#include <string>

#include "config_values.h"

namespace varnix {

class ValuesSwitch : public ConfigValues {
  public:
    explicit ValuesSwitch(ConfigValues& target) : target_(&target) {}

    void PointAt(ConfigValues& target) { target_ = &target; }

    std::string PhoneText(int slot) const override { return target_->PhoneText(slot); }
    void SetPhoneText(int slot, const std::string& text) override {
        target_->SetPhoneText(slot, text);
    }
    std::string TimeoutText() const override { return target_->TimeoutText(); }
    void SetTimeoutText(const std::string& text) override { target_->SetTimeoutText(text); }
    bool ExternalDisconnect() const override { return target_->ExternalDisconnect(); }
    void SetExternalDisconnect(bool on) override { target_->SetExternalDisconnect(on); }
    std::string PasswordText() const override { return target_->PasswordText(); }
    void SetPasswordText(const std::string& text) override { target_->SetPasswordText(text); }

  private:
    ConfigValues* target_;
};

}  // namespace varnix
