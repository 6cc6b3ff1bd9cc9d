#include "properties.h"

#include "error.h"
#include "pages.h"
#include "text.h"

namespace varnix {

namespace {

constexpr char kMagic[] = "MR2";  // with its closing zero
constexpr std::uint16_t kNameList = 0x80;
constexpr std::uint16_t kObjectValues = 0x00;
constexpr std::uint16_t kColumnValues = 0x01;
constexpr std::uint8_t kDdl = 0x01;  // set by Access on the properties the engine enforces
constexpr std::uint8_t kBooleanType = 0x01;
constexpr std::uint8_t kLongType = 0x04;
constexpr std::uint8_t kTextType = 0x0a;
constexpr std::size_t kValueHeader = 8;  // length, DDL flag, type, name number, data length
constexpr std::uint8_t kTrue = 0x01;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutName(std::vector<std::uint8_t>& out, const std::string& name) {
    const auto text = Utf8ToJet4Text(name, false);
    if (!text || text->size() > 0xffff) {
        JetUnsupported("the name \"" + name + "\" cannot be stored as a property");
    }
    PutU16(out, static_cast<std::uint16_t>(text->size()));
    out.insert(out.end(), text->begin(), text->end());
}

// Appends a block of `type` holding `content`.
void PutBlock(std::vector<std::uint8_t>& out, std::uint16_t type,
              const std::vector<std::uint8_t>& content) {
    const std::size_t start = out.size();
    out.resize(start + 4);
    PutU16(out, type);
    out.insert(out.end(), content.begin(), content.end());
    JetPutU32(out.data() + start, static_cast<std::uint32_t>(out.size() - start));
}

// A value: its header and `data`, for the name numbered `name` in the list.
void PutValue(std::vector<std::uint8_t>& out, std::uint8_t ddl, std::uint8_t type,
              std::uint16_t name, const std::vector<std::uint8_t>& data) {
    PutU16(out, static_cast<std::uint16_t>(kValueHeader + data.size()));
    out.push_back(ddl);
    out.push_back(type);
    PutU16(out, name);
    PutU16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// A block of values for the object or column `owner`: its name, with a length of its own
// that counts itself, then the values.
std::vector<std::uint8_t> ValuesOf(const std::string& owner) {
    std::vector<std::uint8_t> values(4);
    PutName(values, owner);
    JetPutU32(values.data(), static_cast<std::uint32_t>(values.size()));
    return values;
}

}  // namespace

std::vector<std::uint8_t> JetDatabaseProperties() {
    constexpr std::uint32_t kAccess2000Build = 6620;
    std::vector<std::uint8_t> blob(kMagic, kMagic + sizeof kMagic);
    std::vector<std::uint8_t> names;
    PutName(names, "AccessVersion");
    PutName(names, "Build");
    PutBlock(blob, kNameList, names);
    std::vector<std::uint8_t> values = ValuesOf("");  // the database itself
    PutValue(values, 0, kTextType, 0, *Utf8ToJet4Text("08.50", false));
    std::vector<std::uint8_t> build(4);
    JetPutU32(build.data(), kAccess2000Build);
    PutValue(values, 0, kLongType, 1, build);
    PutBlock(blob, kObjectValues, values);
    return blob;
}

std::vector<std::uint8_t> JetRequiredColumnsProperties(const std::vector<std::string>& columns) {
    if (columns.empty()) {
        return {};
    }
    std::vector<std::uint8_t> blob(kMagic, kMagic + sizeof kMagic);
    std::vector<std::uint8_t> names;
    PutName(names, "Required");
    PutBlock(blob, kNameList, names);
    for (const std::string& column : columns) {
        std::vector<std::uint8_t> values = ValuesOf(column);
        PutValue(values, kDdl, kBooleanType, 0, {kTrue});  // "Required", the first name
        PutBlock(blob, kColumnValues, values);
    }
    return blob;
}

}  // namespace varnix
