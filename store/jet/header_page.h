// Page 0 of a Jet file, the database header: the engine's name and version, then a region
// from 0x18 masked with RC4 under a fixed key, which holds the code page, the database key
// (0: not encrypted), the password, the default sort order and the creation date. Read for
// any file, written for a new Access 2000 one; what a file is, told by its first bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "layout.h"

namespace varnix {

// What a file is, told by its first bytes alone.
enum class FileKind { Unknown, Sqlite, Jet3, Jet4, Ace };
FileKind FileKindOf(const std::uint8_t* bytes, std::size_t size);

// What the header of a Jet file says.
struct JetHeader {
    std::uint16_t codePage = 0;
    bool encrypted = false;    // a database key is set
    bool hasPassword = false;  // Access asks for a password before it opens the file
};
// `page` is the stored page 0, whole, of a file of `layout`.
JetHeader ReadJetHeaderPage(const std::uint8_t* page, const JetLayout& layout);

// The code page a new database keeps its text under.
inline constexpr std::uint16_t kJetNewFileCodePage = 1252;

// Page 0 of a new Jet 4 (Access 2000) database, masked as stored: no password, not
// encrypted, code page 1252, sort order "General" (1033), created at `created` (days since
// 30 December 1899, the way Access keeps dates). `page` holds a zeroed Jet 4 page.
void WriteJet4HeaderPage(std::uint8_t* page, double created);

}  // namespace varnix
