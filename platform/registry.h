// Keys of the current user's registry, opened with full access. On Windows this is the
// registry itself (HKEY_CURRENT_USER). Elsewhere the keys are kept in the hive file
// <config>/user.reg: a key cannot be opened when that file cannot be read or written, and
// a file that cannot be parsed holds no keys and is moved aside to user.reg.bak before
// anything replaces it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "registry_types.h"

namespace varnix {

class RegistryKey {
  public:
    // The key at `pathFromRoot` (such as "\Software\ZUR\Pellion"), created when missing
    // if `create` is set; null when it cannot be opened.
    static std::unique_ptr<RegistryKey> Open(const std::string& pathFromRoot, bool create);

    // Reads a value into a 4-byte buffer: false when it is missing or its data is larger.
    bool ReadValue(const std::string& name, std::uint8_t (&buffer)[4], std::uint32_t& size,
                   std::uint32_t& type) const;
    // Writes a 32-bit integer value (REG_DWORD); false when it cannot.
    bool WriteInteger(const std::string& name, std::int32_t value);

    ~RegistryKey();  // closes the key

  private:
    struct Handle;  // what each system keeps of an open key
    explicit RegistryKey(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

}  // namespace varnix
