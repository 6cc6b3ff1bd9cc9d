#include "column_type.h"

#include <iterator>

namespace varnix {

namespace {

constexpr std::uint16_t kTextBytes = 510;  // Text(255), two bytes a character
constexpr std::uint16_t kChunkBytes = 3992;

constexpr JetColumnType kUnknown{"unknown", 0, 0, false, false, false};

// By type number, from 0x00.
constexpr JetColumnType kTypes[] = {
    kUnknown,
    {"Yes/No", 1, 0, false, false, true},
    {"Byte", 1, 1, false, false, false},
    {"Integer", 2, 2, true, false, false},
    {"Long Integer", 4, 4, true, false, false},
    {"Currency", 0, 0, false, false, false},
    {"Single", 0, 0, false, false, false},
    {"Double", 0, 0, false, false, false},
    {"Date/Time", 8, 0, false, false, false},
    {"Binary", kTextBytes, 0, false, false, false},
    {"Text", kTextBytes, 0, false, false, false},
    {"OLE Object", 0, 0, false, true, false},
    {"Memo", 0, 0, false, true, false},
    kUnknown,
    kUnknown,
    {"Replication ID", 0, 0, false, false, false},
    {"Decimal", 0, 0, false, false, false},
    {nullptr, kChunkBytes, 0, false, false, false},
};
static_assert(std::size(kTypes) == kJetTypeBinaryChunk + 1);

constexpr JetColumnType kUndefined{nullptr, 0, 0, false, false, false};

}  // namespace

const JetColumnType& JetColumnTypeOf(std::uint8_t type) {
    return type < std::size(kTypes) ? kTypes[type] : kUndefined;
}

bool JetIntegerFits(const JetColumnType& type, std::int64_t value) {
    const int bits = 8 * type.integerBytes;
    if (bits == 0) {
        return false;
    }
    const std::int64_t lowest = type.integerSigned ? -(std::int64_t{1} << (bits - 1)) : 0;
    const std::int64_t highest =
        type.integerSigned ? (std::int64_t{1} << (bits - 1)) - 1 : (std::int64_t{1} << bits) - 1;
    return value >= lowest && value <= highest;
}

std::string JetTypeName(std::uint8_t type) {
    const char* name = JetColumnTypeOf(type).name;
    return name != nullptr ? name : "type " + std::to_string(type);
}

}  // namespace varnix
