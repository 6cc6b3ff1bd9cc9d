#include "device_state.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace varnix {

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= min && value <= max;
}

}  // namespace

int DeviceState::NumberCount() const {
    int count = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        count += phones[static_cast<std::size_t>(slot)].empty() ? 0 : 1;
    }
    return count;
}

void DeviceState::ClearNumbers() {
    for (auto& slot : phones) {
        slot.clear();
    }
}

std::string GeneratedNumber(int slot) {
    const unsigned long subscriber = (static_cast<unsigned long>(slot) * 7919UL) % 10000000UL;
    char text[16];
    std::snprintf(text, sizeof text, "+3859%07lu", subscriber);
    return text;
}

void FillGeneratedNumbers(DeviceState& state, int count) {
    for (int slot = 1; slot <= count && slot <= kSlotCount; ++slot) {
        state.phones[static_cast<std::size_t>(slot)] = GeneratedNumber(slot);
    }
}

bool LoadDeviceState(const std::string& path, DeviceState& state, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    DeviceState loaded;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        long number = 0;
        bool good = equals != std::string::npos;
        if (good && key == "timeout") {
            good = ParseNumber(value, 0, 65535, number);
            loaded.timeoutMs = static_cast<std::uint16_t>(number);
        } else if (good && key == "flag") {
            good = ParseNumber(value, 0, 1, number);
            loaded.externalDisconnect = number == 1;
        } else if (good && key == "password") {
            loaded.password = value;
        } else if (good && ParseNumber(key, 1, kSlotCount, number)) {
            good = value.size() <= kPhoneTextMax;
            loaded.phones[static_cast<std::size_t>(number)] = value;
        } else {
            good = false;
        }
        if (!good) {
            error = path + ":" + std::to_string(lineNumber) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    state = loaded;
    return true;
}

bool SaveDeviceState(const std::string& path, const DeviceState& state, std::string& error) {
    std::ostringstream text;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string& number = state.phones[static_cast<std::size_t>(slot)];
        if (!number.empty()) {
            text << slot << '=' << number << '\n';
        }
    }
    text << "timeout=" << state.timeoutMs << '\n'
         << "flag=" << (state.externalDisconnect ? 1 : 0) << '\n'
         << "password=" << state.password << '\n';
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) {
            error = temporary + ": " + std::strerror(errno);
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace varnix
