#include "registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config_folder.h"
#include "registry_hive.h"

namespace varnix {

namespace {

enum class HiveState { Missing, Inaccessible, Corrupt, Good };

// Reads the hive file. A missing or corrupt file gives an empty hive.
HiveState LoadHive(RegistryHive& hive) {
    hive.clear();
    const std::string path = HiveFilePath();
    if (::access(path.c_str(), F_OK) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? HiveState::Missing : HiveState::Inaccessible;
    }
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        return HiveState::Inaccessible;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        return HiveState::Inaccessible;
    }
    if (auto parsed = ParseHive(text.str())) {
        hive = std::move(*parsed);
        return HiveState::Good;
    }
    return HiveState::Corrupt;
}

// A name beside the hive that is not taken yet: user.reg.bak, then user.reg.bak.1, ...
std::string FreeBackupPath() {
    const std::string base = HiveFilePath() + ".bak";
    std::string candidate = base;
    for (int n = 1; ::access(candidate.c_str(), F_OK) == 0; ++n) {
        candidate = base + "." + std::to_string(n);
    }
    return candidate;
}

bool SaveHive(const RegistryHive& hive, bool keepOldAside) {
    std::error_code error;
    std::filesystem::create_directories(ConfigFolder(), error);
    const std::string path = HiveFilePath();
    const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    const std::string text = FormatHive(hive);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed ||
        (keepOldAside && std::rename(path.c_str(), FreeBackupPath().c_str()) != 0) ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

struct RegistryKey::Handle {
    RegistryKeyData data;
};

RegistryKey::RegistryKey(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
RegistryKey::~RegistryKey() = default;

std::string HiveFilePath() {
    return ConfigFolder() + "/user.reg";
}

std::unique_ptr<RegistryKey> RegistryKey::Open(const std::string& pathFromRoot, bool create) {
    RegistryHive hive;
    if (LoadHive(hive) == HiveState::Inaccessible) {
        return nullptr;
    }
    const std::string path = CurrentUserKeyPath(pathFromRoot);
    const auto found = hive.find(path);
    if (found != hive.end()) {
        return std::unique_ptr<RegistryKey>(
            new RegistryKey(std::make_unique<Handle>(Handle{found->second})));
    }
    if (!create) {
        return nullptr;
    }
    // A new key reaches the file with its first value.
    return std::unique_ptr<RegistryKey>(
        new RegistryKey(std::make_unique<Handle>(Handle{RegistryKeyData{path, {}}})));
}

bool RegistryKey::ReadValue(const std::string& name, std::uint8_t (&buffer)[4], std::uint32_t& size,
                            std::uint32_t& type) const {
    const auto& values = handle_->data.values;
    const auto found = values.find(name);
    if (found == values.end() || found->second.data.size() > sizeof buffer) {
        return false;
    }
    std::memcpy(buffer, found->second.data.data(), found->second.data.size());
    size = static_cast<std::uint32_t>(found->second.data.size());
    type = found->second.type;
    return true;
}

bool RegistryKey::WriteInteger(const std::string& name, std::int32_t value) {
    RegistryHive hive;
    const HiveState state = LoadHive(hive);
    if (state == HiveState::Inaccessible) {
        return false;
    }
    RegistryKeyData& key = hive[handle_->data.path];
    if (key.path.empty()) {
        key.path = handle_->data.path;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    RegistryValue dword{
        REG_DWORD,
        {static_cast<std::uint8_t>(bits & 0xFF), static_cast<std::uint8_t>((bits >> 8) & 0xFF),
         static_cast<std::uint8_t>((bits >> 16) & 0xFF),
         static_cast<std::uint8_t>((bits >> 24) & 0xFF)}};
    key.values[name] = dword;
    if (!SaveHive(hive, state == HiveState::Corrupt)) {
        return false;
    }
    handle_->data = key;
    return true;
}

}  // namespace varnix
