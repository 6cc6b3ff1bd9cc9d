// Loading the settings of a genuine Microsoft Access file, read through our own Jet reader.
// The steps and the results are those of LoadSettings over a Varnix work file.
#pragma once

#include <string>

#include "jet_file.h"
#include "settings_file.h"

namespace varnix {

// Every row of `phone` in stored order, then the first row of `pcong`. Throws
// DatabaseError where the file cannot be read; values placed so far stay.
void LoadJetSettings(const JetFile& file, SettingsValues& values);
void LoadJetSettings(const std::string& path, SettingsValues& values);

}  // namespace varnix
