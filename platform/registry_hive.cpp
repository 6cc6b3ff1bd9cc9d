#include "registry_hive.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace varnix {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(const std::string& text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (++pos >= text.size()) {
                return std::nullopt;
            }
        }
        out += text[pos];
    }
    return std::nullopt;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::optional<std::vector<std::uint8_t>> ReadHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::string item;
    std::istringstream list(text);
    while (std::getline(list, item, ',')) {
        item.erase(std::remove_if(item.begin(), item.end(),
                                  [](unsigned char c) { return std::isspace(c) != 0; }),
                   item.end());
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1]))) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return bytes;
}

std::optional<RegistryValue> ReadValueData(const std::string& text) {
    RegistryValue value;
    if (!text.empty() && text[0] == '"') {
        std::size_t pos = 0;
        const auto string = ReadQuoted(text, pos);
        if (!string || pos != text.size()) {
            return std::nullopt;
        }
        value.type = REG_SZ;
        value.data.assign(string->begin(), string->end());
        value.data.push_back(0);
        return value;
    }
    if (StartsWith(text, "dword:")) {
        const std::string digits = text.substr(6);
        if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) {
                return std::isxdigit(c) != 0;
            })) {
            return std::nullopt;
        }
        const auto number = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<std::uint8_t>((number >> shift) & 0xFF));
        }
        return value;
    }
    std::string list;
    if (StartsWith(text, "hex:")) {
        value.type = REG_BINARY;
        list = text.substr(4);
    } else if (StartsWith(text, "hex(")) {
        const auto close = text.find("):");
        if (close == std::string::npos || close == 4) {
            return std::nullopt;
        }
        const std::string type = text.substr(4, close - 4);
        if (!std::all_of(type.begin(), type.end(),
                         [](unsigned char c) { return std::isxdigit(c) != 0; })) {
            return std::nullopt;
        }
        value.type = static_cast<std::uint32_t>(std::stoul(type, nullptr, 16));
        list = text.substr(close + 2);
    } else {
        return std::nullopt;
    }
    if (list.empty()) {
        return value;
    }
    const auto bytes = ReadHexBytes(list);
    if (!bytes) {
        return std::nullopt;
    }
    value.data = *bytes;
    return value;
}

std::string FormatValueData(const RegistryValue& value) {
    const auto zero = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
    if (value.type == REG_SZ && !value.data.empty() && zero == value.data.end() - 1) {
        return Quote(std::string(value.data.begin(), value.data.end() - 1));
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                     (static_cast<std::uint32_t>(value.data[3]) << 24);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return text;
    }
    std::string out;
    if (value.type == REG_BINARY) {
        out = "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        out = prefix;
    }
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02x", i == 0 ? "" : ",", value.data[i]);
        out += byte;
    }
    return out;
}

}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

std::string CurrentUserKeyPath(const std::string& pathFromRoot) {
    std::size_t start = pathFromRoot.find_first_not_of('\\');
    if (start == std::string::npos) {
        return "HKEY_CURRENT_USER";
    }
    return "HKEY_CURRENT_USER\\" + pathFromRoot.substr(start);
}

std::optional<RegistryHive> ParseHive(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> lines;
    // Joins continued lines (a trailing backslash) and drops carriage returns.
    std::string pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!pending.empty()) {
            const auto first = line.find_first_not_of(" \t");
            line = pending + (first == std::string::npos ? "" : line.substr(first));
            pending.clear();
        }
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            line.pop_back();
            pending = line;
            continue;
        }
        lines.push_back(line);
    }
    if (!pending.empty()) {
        return std::nullopt;
    }
    auto next = lines.begin();
    while (next != lines.end() && next->empty()) {
        ++next;
    }
    if (next == lines.end() || *next != "REGEDIT4") {
        return std::nullopt;
    }
    RegistryHive hive;
    RegistryKeyData* key = nullptr;
    for (++next; next != lines.end(); ++next) {
        const std::string& l = *next;
        if (l.empty() || l[0] == ';') {
            continue;
        }
        if (l.front() == '[') {
            if (l.back() != ']' || l.size() < 3) {
                return std::nullopt;
            }
            const std::string path = l.substr(1, l.size() - 2);
            key = &hive[path];
            if (key->path.empty()) {
                key->path = path;
            }
            continue;
        }
        if (key == nullptr) {
            return std::nullopt;
        }
        std::string name;
        std::size_t pos = 0;
        if (l[0] == '@') {
            pos = 1;
        } else {
            const auto quoted = ReadQuoted(l, pos);
            if (!quoted) {
                return std::nullopt;
            }
            name = *quoted;
        }
        if (pos >= l.size() || l[pos] != '=') {
            return std::nullopt;
        }
        const auto value = ReadValueData(l.substr(pos + 1));
        if (!value) {
            return std::nullopt;
        }
        key->values[name] = *value;
    }
    return hive;
}

std::string FormatHive(const RegistryHive& hive) {
    std::string out = "REGEDIT4\n";
    for (const auto& [path, key] : hive) {
        out += "\n[" + key.path + "]\n";
        for (const auto& [name, value] : key.values) {
            out += (name.empty() ? std::string("@") : Quote(name)) + "=" + FormatValueData(value) +
                   "\n";
        }
    }
    return out;
}

}  // namespace varnix
