#include "column_type.h"

namespace varnix {

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
