#include "registry.h"

// After registry.h: <windows.h> defines the value type names as macros.
#include <windows.h>

namespace varnix {

struct RegistryKey::Handle {
    HKEY key = nullptr;
    ~Handle() { RegCloseKey(key); }
};

RegistryKey::RegistryKey(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::Open(const std::string& pathFromRoot, bool create) {
    // The registry refuses a path that starts with a backslash (ERROR_BAD_PATHNAME).
    const auto start = pathFromRoot.find_first_not_of('\\');
    const std::string path =
        start == std::string::npos ? std::string() : pathFromRoot.substr(start);
    auto handle = std::make_unique<Handle>();
    const LSTATUS status =
        create
            ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &handle->key, nullptr)
            : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &handle->key);
    if (status != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::unique_ptr<RegistryKey>(new RegistryKey(std::move(handle)));
}

bool RegistryKey::ReadValue(const std::string& name, std::uint8_t (&buffer)[4], std::uint32_t& size,
                            std::uint32_t& type) const {
    DWORD valueType = REG_NONE;
    DWORD valueSize = sizeof buffer;
    // A missing value gives ERROR_FILE_NOT_FOUND, one larger than the buffer ERROR_MORE_DATA.
    if (RegQueryValueExA(handle_->key, name.c_str(), nullptr, &valueType, buffer, &valueSize) !=
        ERROR_SUCCESS) {
        return false;
    }
    size = valueSize;
    type = valueType;
    return true;
}

bool RegistryKey::WriteInteger(const std::string& name, std::int32_t value) {
    const auto data = static_cast<DWORD>(value);  // REG_DWORD is the DWORD as it lies in memory
    return RegSetValueExA(handle_->key, name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

}  // namespace varnix
