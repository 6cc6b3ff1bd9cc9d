#include "json_object.h"

#include <cstdio>

#include "utf8.h"

namespace varnix {

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // JSON is UTF-8: a byte that is no part of a character is told as U+FFFD.
            const std::size_t length = Utf8CharAt(text, at).length;
            json += length > 0 ? std::string(text.substr(at, length)) : "\\ufffd";
            at += length > 0 ? length : 1;
            continue;
        }
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    json += escaped;
                } else {
                    json += c;
                }
        }
        ++at;
    }
    return json + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string json = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        json += (i > 0 ? "," : "") + items[i];
    }
    return json + "]";
}

JsonObject& JsonObject::Add(std::string_view name, const std::string& json) {
    fields_ += (fields_.empty() ? "" : ",") + JsonString(name) + ":" + json;
    return *this;
}

JsonObject& JsonObject::Text(std::string_view name, std::string_view value) {
    return Add(name, JsonString(value));
}

JsonObject& JsonObject::Number(std::string_view name, long long value) {
    return Add(name, std::to_string(value));
}

JsonObject& JsonObject::Flag(std::string_view name, bool value) {
    return Add(name, value ? "true" : "false");
}

JsonObject& JsonObject::Null(std::string_view name) {
    return Add(name, "null");
}

JsonObject& JsonObject::Raw(std::string_view name, const std::string& json) {
    return Add(name, json);
}

}  // namespace varnix
