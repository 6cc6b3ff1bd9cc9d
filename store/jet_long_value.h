// Long values (Memo and OLE): a 12-byte header in the row (length and kind, a data
// pointer), with the value inline after it, in one row of an LVAL page, or in a chain of
// LVAL rows that each begin with a pointer to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet_pages.h"

namespace varnix {

inline constexpr std::size_t kJetLongValueHeader = 12;

// The value's stored bytes, wherever they lie. Throws JetError.
std::vector<std::uint8_t> ReadJetLongValue(const JetPages& pages, const std::uint8_t* field,
                                           std::size_t size);

// A value kept inline in the row: the header (kind 0x80) and the bytes.
std::vector<std::uint8_t> InlineJetLongValue(const std::vector<std::uint8_t>& value);

}  // namespace varnix
