#include "index_key.h"

#include <iterator>
#include <string_view>

namespace varnix {
namespace {

constexpr std::uint8_t kAscendingFlag = 0x7f;
constexpr std::uint8_t kDescendingFlag = 0x80;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kDescendingNull = 0xff;

// "General", and in Jet 4 its version 0; Jet 3 names no version.
constexpr std::uint16_t kGeneralSortOrder = 1033;
constexpr std::uint8_t kGeneralSortVersion = 0;

constexpr char kFirstCode = 0x20;
constexpr char kLastCode = 0x7e;
constexpr std::size_t kCodes = kLastCode - kFirstCode + 1;
constexpr std::size_t kMaxTextChars = 255;  // what a Text column holds; longer text is cut

// Jet 4 "General": the sort codes of the characters 0x20 to 0x7e. A code above 0xff is two
// bytes; kLeftOut marks the characters that sort as if absent (the apostrophe and the
// hyphen), whose code goes into a trailing group instead.
constexpr std::uint16_t kLeftOut = 0x8000;
constexpr std::uint16_t kGeneralCodes[] = {
    // space ! " # $ % & ' ( ) * + , - . /
    0x0007, 0x0009, 0x000a, 0x000c, 0x000e, 0x0010, 0x0012, kLeftOut | 0x80,  //
    0x0014, 0x0016, 0x0018, 0x002c, 0x001a, kLeftOut | 0x82, 0x001c, 0x001e,  //
    // 0 to 9, then : ; < = > ? @
    0x0036, 0x0038, 0x003a, 0x003c, 0x003e, 0x0040, 0x0042, 0x0044, 0x0046, 0x0048,  //
    0x0020, 0x0022, 0x002e, 0x0030, 0x0032, 0x0024, 0x0026,                          //
    // A to Z
    0x004a, 0x004c, 0x004d, 0x004f, 0x0051, 0x0053, 0x0055, 0x0057, 0x0059, 0x005b,  //
    0x005c, 0x005e, 0x0060, 0x0062, 0x0064, 0x0066, 0x0068, 0x0069, 0x006b, 0x006d,  //
    0x006f, 0x0071, 0x0073, 0x0075, 0x0076, 0x0078,                                  //
    // [ \ ] ^ _ `
    0x0027, 0x0029, 0x002a, 0x2b02, 0x2b03, 0x2b07,  //
    // a to z: as A to Z
    0x004a, 0x004c, 0x004d, 0x004f, 0x0051, 0x0053, 0x0055, 0x0057, 0x0059, 0x005b,  //
    0x005c, 0x005e, 0x0060, 0x0062, 0x0064, 0x0066, 0x0068, 0x0069, 0x006b, 0x006d,  //
    0x006f, 0x0071, 0x0073, 0x0075, 0x0076, 0x0078,                                  //
    // { | } ~
    0x2b09, 0x2b0b, 0x2b0d, 0x2b0f,  //
};
static_assert(std::size(kGeneralCodes) == kCodes);

// Jet 3 (Access 97) "General": one code a character, 0x20 to 0x7e.
constexpr std::uint8_t kGeneral97Codes[] = {
    // space ! " # $ % & ' ( ) * + , - . /
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,  //
    0x20,                                                                                      //
    // 0 to 9, then : ; < = > ? @
    0x56, 0x57, 0x58, 0x59, 0x5a, 0x5b, 0x5c, 0x5d, 0x5e, 0x5f,  //
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,                    //
    // A to Z
    0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x6b, 0x6c, 0x6d, 0x6f,  //
    0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7a, 0x7b, 0x7c, 0x7d, 0x7e,  //
    // [ \ ] ^ _ `
    0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d,  //
    // a to z: as A to Z
    0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x6b, 0x6c, 0x6d, 0x6f,  //
    0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7a, 0x7b, 0x7c, 0x7d, 0x7e,  //
    // { | } ~
    0x2e, 0x2f, 0x30, 0x31,  //
};
static_assert(std::size(kGeneral97Codes) == kCodes);

void Invert(std::vector<std::uint8_t>& key, std::size_t from) {
    for (std::size_t i = from; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(~key[i]);
    }
}

// Jet 4: the characters' codes, an end mark 0x01, then for each left-out character a group
// of its position among the others (big-endian, 7 + 4 * position, top bit set), 0x06 and its
// code, behind three more end marks. Descending inverts all of it and a closing 0x00, and
// another 0x00 follows uninverted.
void AppendGeneralText(std::vector<std::uint8_t>& key, std::string_view text, bool ascending) {
    const std::size_t start = key.size();
    std::vector<std::uint8_t> leftOut;
    std::size_t placed = 0;
    for (const char c : text) {
        const std::uint16_t code = kGeneralCodes[static_cast<std::size_t>(c - kFirstCode)];
        if ((code & kLeftOut) != 0) {
            const auto at = static_cast<std::uint16_t>((7 + 4 * placed) | 0x8000);
            leftOut.insert(leftOut.end(),
                           {static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at), 0x06,
                            static_cast<std::uint8_t>(code)});
            continue;
        }
        if (code > 0xff) {
            key.push_back(static_cast<std::uint8_t>(code >> 8));
        }
        key.push_back(static_cast<std::uint8_t>(code));
        ++placed;
    }
    key.push_back(0x01);
    if (!leftOut.empty()) {
        key.insert(key.end(), {0x01, 0x01, 0x01});
        key.insert(key.end(), leftOut.begin(), leftOut.end());
    }
    if (!ascending) {
        key.push_back(0x00);
        Invert(key, start);
    }
    key.push_back(0x00);
}

// Jet 3: the characters' codes and a closing 0x00, all inverted when descending.
void AppendGeneral97Text(std::vector<std::uint8_t>& key, std::string_view text, bool ascending) {
    const std::size_t start = key.size();
    for (const char c : text) {
        key.push_back(kGeneral97Codes[static_cast<std::size_t>(c - kFirstCode)]);
    }
    key.push_back(0x00);
    if (!ascending) {
        Invert(key, start);
    }
}

// Big-endian with the sign bit flipped, so that negative numbers sort first.
void AppendSigned(std::vector<std::uint8_t>& key, std::int64_t value, int bytes, bool ascending) {
    const std::size_t start = key.size();
    const auto bits = static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << (8 * bytes - 1));
    for (int i = bytes - 1; i >= 0; --i) {
        key.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    if (!ascending) {
        Invert(key, start);
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> JetIndexKeyPart(const JetColumnDef& column,
                                                         const JetValue& value, bool ascending,
                                                         const JetLayout& layout) {
    const JetColumnType& type = JetColumnTypeOf(column.type);
    const bool integer = type.integerBytes != 0;
    const bool text = column.type == kJetTypeText && column.sortOrder == kGeneralSortOrder &&
                      (!layout.columnSortVersion || column.sortVersion == kGeneralSortVersion);
    if (!integer && !text) {
        return std::nullopt;
    }
    if (value.kind == JetValue::Kind::Null) {
        return std::vector<std::uint8_t>{ascending ? kAscendingNull : kDescendingNull};
    }
    std::vector<std::uint8_t> key;
    // Room for the flag, two bytes a character and the end marks, so a key is built in one
    // allocation but for the rare left-out characters.
    key.reserve(integer ? 1 + type.integerBytes : 8 + 2 * value.text.size());
    key.push_back(ascending ? kAscendingFlag : kDescendingFlag);
    if (integer) {
        if (value.kind != JetValue::Kind::Integer || !JetIntegerFits(type, value.integer)) {
            return std::nullopt;
        }
        if (type.integerSigned) {
            AppendSigned(key, value.integer, type.integerBytes, ascending);
        } else {
            const auto v = static_cast<std::uint8_t>(value.integer);
            key.push_back(ascending ? v : static_cast<std::uint8_t>(~v));
        }
        return key;
    }
    if (value.kind != JetValue::Kind::Text) {
        return std::nullopt;
    }
    for (const char c : value.text) {
        if (c < kFirstCode || c > kLastCode) {
            return std::nullopt;  // a control character, or a byte of a non-ASCII one
        }
    }
    std::string_view chars(value.text);
    chars = chars.substr(0, kMaxTextChars);
    while (!chars.empty() && chars.back() == ' ') {
        chars.remove_suffix(1);
    }
    switch (layout.generalSort) {
        case JetGeneralSort::Access2000:
            AppendGeneralText(key, chars, ascending);
            break;
        case JetGeneralSort::Access97:
            AppendGeneral97Text(key, chars, ascending);
            break;
    }
    return key;
}

std::optional<std::vector<std::uint8_t>> JetIndexKey(const JetTableDef& def,
                                                     const JetRealIndex& index,
                                                     const std::vector<JetValue>& values,
                                                     const JetLayout& layout) {
    if (values.size() != def.columns.size()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> key;
    for (const JetRealIndex::Part& part : index.parts) {
        const auto column = JetColumnNumbered(def.columns, part.column);
        if (!column) {
            return std::nullopt;
        }
        const auto bytes =
            JetIndexKeyPart(def.columns[*column], values[*column], part.ascending, layout);
        if (!bytes) {
            return std::nullopt;
        }
        key.insert(key.end(), bytes->begin(), bytes->end());
    }
    return key;
}

}  // namespace varnix
