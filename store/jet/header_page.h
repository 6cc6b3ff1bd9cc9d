// Page 0 of a Jet file, the database header: the engine's name and version, then a region
// from 0x18 masked with RC4 under a fixed key, which holds the code page, the database key
// (0: not encrypted), the password, the default sort order and the creation date.
#pragma once

#include <cstddef>
#include <cstdint>

#include "layout.h"

namespace varnix {

inline constexpr std::size_t kJetMaskedHeaderStart = 0x18;
// The masked region's length: 128 bytes in Jet 4, 126 in Jet 3.
std::size_t JetMaskedHeaderSize(const JetLayout& layout);

// XORs the masked region of `page` (page 0, whole) with its key stream: this masks a header
// written in the clear and unmasks a stored one.
void ToggleJetHeaderMask(std::uint8_t* page, const JetLayout& layout);

// Page 0 of a new Jet 4 (Access 2000) database, masked as stored: no password, not
// encrypted, code page 1252, sort order "General" (1033), created at `created` (days since
// 30 December 1899, the way Access keeps dates). `page` holds a zeroed Jet 4 page.
void WriteJet4HeaderPage(std::uint8_t* page, double created);

}  // namespace varnix
