// One JSON object, written field by field, for --json: what a script reads instead of the
// lines meant for people. Texts are UTF-8 and written as they are, with the characters
// JSON requires escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnix {

// The text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

// Values already in JSON, as one array.
std::string JsonArray(const std::vector<std::string>& items);

class JsonObject {
  public:
    JsonObject& Text(std::string_view name, std::string_view value);
    JsonObject& Number(std::string_view name, long long value);
    JsonObject& Flag(std::string_view name, bool value);
    JsonObject& Null(std::string_view name);
    // A value already in JSON: an object or an array.
    JsonObject& Raw(std::string_view name, const std::string& json);

    std::string Json() const { return "{" + fields_ + "}"; }

  private:
    JsonObject& Add(std::string_view name, const std::string& json);

    std::string fields_;
};

}  // namespace varnix
