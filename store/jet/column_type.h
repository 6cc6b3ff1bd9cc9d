// The column types of a Jet table and what each one is: its name, the room it takes in a
// row, whether it holds an integer and whether its values lie on pages of their own. One
// table, so that every type fact is written once.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

namespace varnix {

// The type numbers a column definition stores.
enum : std::uint8_t {
    kJetTypeBoolean = 0x01,
    kJetTypeByte = 0x02,
    kJetTypeInt16 = 0x03,
    kJetTypeInt32 = 0x04,
    kJetTypeDateTime = 0x08,
    kJetTypeBinary = 0x09,
    kJetTypeText = 0x0a,
    kJetTypeOle = 0x0b,
    kJetTypeMemo = 0x0c,
    kJetTypeBinaryChunk = 0x11,  // fixed binary of 3992 bytes, seen only in MSysAccessObjects
};

struct JetColumnType {
    const char* name;  // for messages ("Date/Time"); nullptr for a type without one
    // The length Access gives a new column of the type (Text and Binary at their longest,
    // 255 characters); 0 for Memo and OLE, whose values are kept apart from the row.
    std::uint16_t newLength;
    std::uint8_t integerBytes;  // Byte, Integer, Long Integer: their width; else 0
    bool integerSigned;         // Integer and Long Integer; Byte is 0 to 255
    bool longValue;             // Memo and OLE: values on LVAL pages, with usage maps of their own
    bool inNullMask;            // Yes/No: the value is the null-mask bit, no bytes in the row
};

inline constexpr JetColumnType kJetUnknownType{"unknown", 0, 0, false, false, false};

// By type number, from 0x00: name, new length, integer bytes, signed, long value, in the
// null mask. Text(255) takes two bytes a character.
inline constexpr JetColumnType kJetColumnTypes[] = {
    kJetUnknownType,
    {"Yes/No", 1, 0, false, false, true},
    {"Byte", 1, 1, false, false, false},
    {"Integer", 2, 2, true, false, false},
    {"Long Integer", 4, 4, true, false, false},
    {"Currency", 0, 0, false, false, false},
    {"Single", 0, 0, false, false, false},
    {"Double", 0, 0, false, false, false},
    {"Date/Time", 8, 0, false, false, false},
    {"Binary", 510, 0, false, false, false},
    {"Text", 510, 0, false, false, false},
    {"OLE Object", 0, 0, false, true, false},
    {"Memo", 0, 0, false, true, false},
    kJetUnknownType,
    kJetUnknownType,
    {"Replication ID", 0, 0, false, false, false},
    {"Decimal", 0, 0, false, false, false},
    {nullptr, 3992, 0, false, false, false},  // kJetTypeBinaryChunk
};
static_assert(std::size(kJetColumnTypes) == kJetTypeBinaryChunk + 1);

inline constexpr JetColumnType kJetUndefinedType{nullptr, 0, 0, false, false, false};

// The facts of `type`; a type Jet does not define has none of them.
inline const JetColumnType& JetColumnTypeOf(std::uint8_t type) {
    return type < std::size(kJetColumnTypes) ? kJetColumnTypes[type] : kJetUndefinedType;
}

// Whether `value` fits a column of `type`, an integer type.
bool JetIntegerFits(const JetColumnType& type, std::int64_t value);

// The name of a column type, for messages ("Date/Time", or "type 99").
std::string JetTypeName(std::uint8_t type);

}  // namespace varnix
