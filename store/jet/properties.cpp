#include "properties.h"

#include "error.h"
#include "pages.h"
#include "text.h"

namespace varnix {

namespace {

constexpr char kMagic[] = "MR2";  // with its closing zero
constexpr std::uint16_t kNameList = 0x80;
constexpr std::uint16_t kColumnValues = 0x01;
constexpr std::uint8_t kDdl = 0x01;  // set by Access on the properties the engine enforces
constexpr std::uint8_t kBooleanType = 0x01;
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

}  // namespace

std::vector<std::uint8_t> JetRequiredColumnsProperties(const std::vector<std::string>& columns) {
    if (columns.empty()) {
        return {};
    }
    std::vector<std::uint8_t> blob(kMagic, kMagic + sizeof kMagic);
    std::vector<std::uint8_t> names;
    PutName(names, "Required");
    PutBlock(blob, kNameList, names);
    for (const std::string& column : columns) {
        // The block's name, with a length of its own that counts itself.
        std::vector<std::uint8_t> values(4);
        PutName(values, column);
        JetPutU32(values.data(), static_cast<std::uint32_t>(values.size()));
        const std::uint16_t valueLength = 8 + 1;
        PutU16(values, valueLength);
        values.push_back(kDdl);
        values.push_back(kBooleanType);
        PutU16(values, 0);  // "Required", the first name in the list
        PutU16(values, 1);
        values.push_back(kTrue);
        PutBlock(blob, kColumnValues, values);
    }
    return blob;
}

}  // namespace varnix
