// The current user's registry hive as a text file in the REGEDIT4 export syntax:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\ZUR\Pellion]
//   "COM1"=dword:00000002
//
// Strings are written "name"="text", other types as hex(N):.. byte lists.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registry_types.h"

namespace varnix {

// The hive file: <config>/user.reg.
std::string HiveFilePath();

struct RegistryValue {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// Key paths are compared without regard to case, as the registry does.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct RegistryKeyData {
    std::string path;  // as first written, e.g. "HKEY_CURRENT_USER\Software\ZUR\Pellion"
    std::map<std::string, RegistryValue, CaseInsensitiveLess> values;
};

using RegistryHive = std::map<std::string, RegistryKeyData, CaseInsensitiveLess>;

// Nothing when the text is not a hive file.
std::optional<RegistryHive> ParseHive(const std::string& text);
std::string FormatHive(const RegistryHive& hive);

// The full path of a key given from the root of the current user's hive, such as
// "\Software\ZUR\Pellion".
std::string CurrentUserKeyPath(const std::string& pathFromRoot);

}  // namespace varnix
