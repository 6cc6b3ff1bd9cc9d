#include "port_choice.h"

#include "registry.h"

namespace varnix {

std::string PortNameAt(std::int32_t index) {
    return index >= 0 && index < kPortNameCount ? "COM" + std::to_string(index + 1) : std::string();
}

std::runtime_error PortChoiceError(const char* format) {
    std::string text = format;
    text.replace(text.find("%s"), 2, kPortSetupValue);
    return std::runtime_error(text);
}

std::optional<std::int32_t> StoredPortIndex() {
    const auto key = RegistryKey::Open(kPortSetupKey, false);
    if (!key) {
        return std::nullopt;
    }
    std::uint8_t data[4] = {};
    std::uint32_t size = 0;
    std::uint32_t type = REG_NONE;
    if (!key->ReadValue(kPortSetupValue, data, size, type)) {
        throw PortChoiceError("Failed to get data for '%s'");
    }
    if (type != REG_DWORD) {
        throw PortChoiceError("Invalid data type for '%s'");
    }
    return static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                     (static_cast<std::uint32_t>(data[3]) << 24));
}

std::string RememberedPortName() {
    const auto index = StoredPortIndex();
    return PortNameAt(index.value_or(0));
}

}  // namespace varnix
