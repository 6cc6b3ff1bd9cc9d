// Keys of the current user's registry, kept in the hive file <config>/user.reg. A key is
// opened with full access; it cannot be opened when the hive file cannot be read or
// written. A hive file that cannot be parsed holds no keys, and is moved aside to
// user.reg.bak before anything replaces it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "registry_hive.h"

namespace varnix {

std::string HiveFilePath();

class RegistryKey {
  public:
    // The key at `pathFromRoot` (such as "\Software\ZUR\Pellion"), created when missing
    // if `create` is set; null when it cannot be opened.
    static std::unique_ptr<RegistryKey> Open(const std::string& pathFromRoot, bool create);

    // Reads a value into a 4-byte buffer: false when it is missing or its data is larger.
    bool ReadValue(const std::string& name, std::uint8_t (&buffer)[4], std::uint32_t& size,
                   std::uint32_t& type) const;
    // Writes a 32-bit integer value (REG_DWORD) and saves the hive; false when it cannot.
    bool WriteInteger(const std::string& name, std::int32_t value);

  private:
    explicit RegistryKey(RegistryKeyData data) : data_(std::move(data)) {}
    RegistryKeyData data_;
};

}  // namespace varnix
