// Loading and saving the device configuration in a settings file: the phone table, the
// relay time-out and the external disconnection flag (the password is never stored).
// The on-screen values are reached through SettingsValues, so that the window and the
// tests can each supply their own.
#pragma once

#include <string>

#include "ado_query.h"

namespace varnix {

class SettingsValues {
  public:
    virtual ~SettingsValues() = default;
    virtual std::string PhoneText(int slot) const = 0;  // slots 1 to 500
    virtual void SetPhoneText(int slot, const std::string& text) = 0;
    virtual std::string TimeoutText() const = 0;
    virtual void SetTimeoutText(const std::string& text) = 0;
    virtual bool ExternalDisconnect() const = 0;
    virtual void SetExternalDisconnect(bool on) = 0;
};

// Reads the file into `values`, which the caller has cleared. Phone rows whose id lies
// outside 1 to 500 (a null id among them) are skipped; the later of two equal ids wins.
// Throws DatabaseError where the file cannot be read; values placed so far stay. The
// query is closed whatever happens.
void LoadSettings(AdoQuery& query, const std::string& path, SettingsValues& values);

// Writes `values` into the file in one transaction: on any failure it throws and the
// file is left as it was. The query is closed whatever happens.
void SaveSettings(AdoQuery& query, const std::string& path, const SettingsValues& values);

}  // namespace varnix
