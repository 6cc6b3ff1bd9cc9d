#include "header_page.h"

#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "pages.h"

namespace varnix {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";    // followed by a zero byte
constexpr char kJetEngineName[] = "Standard Jet DB";  // at 4, with its closing zero
constexpr char kAceEngineName[] = "Standard ACE DB";
constexpr std::size_t kEngineNameOffset = 4;
constexpr std::size_t kVersionOffset = 0x14;

constexpr std::uint8_t kHeaderKey[] = {0xc7, 0xda, 0x39, 0x6b};
constexpr std::size_t kMaskedStart = 0x18;

// In the masked region.
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kDatabaseKeyOffset = 0x3e;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kSortOrderOffset = 0x6e;  // Jet 4: order (2 bytes), 0, version
constexpr std::size_t kCreationDateOffset = 0x72;

constexpr std::uint16_t kGeneralSortOrder = 1033;

// Fields that every Access 2000 file holds, whose meaning is not known; written as Access
// writes them: six numbers at the start of the masked region, a number and the engine's
// version text after it, and a run of 2-byte entries filling the last 512 bytes.
constexpr std::uint32_t kMaskedStartNumbers[] = {0x100, 0x101, 2, 3, 4, 5};
constexpr std::size_t kEngineNumberOffset = 0x98;
constexpr std::uint32_t kEngineNumber = 0x654;
constexpr std::size_t kEngineVersionOffset = 0x9c;
constexpr char kEngineVersion[] = "4.0";
constexpr std::size_t kEntryRunOffset = 0xe00;
constexpr std::uint16_t kFirstRunEntry = 0x0101;
constexpr std::uint16_t kRunEntry = 0x0100;

// XORs the masked region of `page` (page 0, whole) with its key stream: this masks a header
// written in the clear and unmasks a stored one.
void ToggleMask(std::uint8_t* page, const JetLayout& layout) {
    std::uint8_t state[256];
    for (int i = 0; i < 256; ++i) {
        state[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + kHeaderKey[i % sizeof kHeaderKey]) & 0xff;
        std::swap(state[i], state[j]);
    }
    std::uint8_t* masked = page + kMaskedStart;
    for (std::size_t n = 0, i = 0, j = 0; n < layout.headerMaskedSize; ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        masked[n] ^= state[(state[i] + state[j]) & 0xff];
    }
}

// The whole days of the creation date, which mask the password further where the layout
// says so; an empty password is stored as them, repeated.
std::uint32_t PasswordMask(const JetLayout& layout, double created) {
    if (!layout.headerPasswordMaskedByCreation || !(created > -2147483648.0) ||
        !(created < 2147483648.0)) {
        return 0;
    }
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
}

}  // namespace

FileKind FileKindOf(const std::uint8_t* bytes, std::size_t size) {
    if (size >= sizeof kSqliteMagic && std::memcmp(bytes, kSqliteMagic, sizeof kSqliteMagic) == 0) {
        return FileKind::Sqlite;
    }
    const std::size_t name = sizeof kJetEngineName - 1;
    if (size < kEngineNameOffset + name) {
        return FileKind::Unknown;
    }
    if (std::memcmp(bytes + kEngineNameOffset, kAceEngineName, name) == 0) {
        return FileKind::Ace;
    }
    if (std::memcmp(bytes + kEngineNameOffset, kJetEngineName, name) != 0) {
        return FileKind::Unknown;
    }
    if (size > kVersionOffset && bytes[kVersionOffset] == kJet3Layout.version) {
        return FileKind::Jet3;
    }
    if (size > kVersionOffset && bytes[kVersionOffset] == kJet4Layout.version) {
        return FileKind::Jet4;
    }
    return FileKind::Ace;  // a later engine under the old name
}

JetHeader ReadJetHeaderPage(const std::uint8_t* page, const JetLayout& layout) {
    std::vector<std::uint8_t> clear(page, page + kMaskedStart + layout.headerMaskedSize);
    ToggleMask(clear.data(), layout);
    JetHeader header;
    header.codePage = JetU16(clear.data() + kCodePageOffset);
    header.encrypted = JetU32(clear.data() + kDatabaseKeyOffset) != 0;
    // The password area reads as the mask alone when the database has none.
    double created = 0;
    std::memcpy(&created, clear.data() + kCreationDateOffset, sizeof created);
    std::uint8_t mask[4];
    JetPutU32(mask, PasswordMask(layout, created));
    for (std::size_t i = 0; i < layout.headerPasswordSize; ++i) {
        header.hasPassword = header.hasPassword || (clear[kPasswordOffset + i] ^ mask[i % 4]) != 0;
    }
    return header;
}

void WriteJet4HeaderPage(std::uint8_t* page, double created) {
    const JetLayout& layout = kJet4Layout;
    page[1] = 0x01;
    std::memcpy(page + kEngineNameOffset, kJetEngineName, sizeof kJetEngineName);
    JetPutU32(page + kVersionOffset, layout.version);

    for (std::size_t i = 0; i < std::size(kMaskedStartNumbers); ++i) {
        JetPutU32(page + kMaskedStart + 4 * i, kMaskedStartNumbers[i]);
    }
    JetPutU16(page + kCodePageOffset, kJetNewFileCodePage);
    JetPutU32(page + kDatabaseKeyOffset, 0);
    for (std::size_t at = 0; at < layout.headerPasswordSize; at += 4) {
        JetPutU32(page + kPasswordOffset + at, PasswordMask(layout, created));
    }
    JetPutU16(page + kSortOrderOffset, kGeneralSortOrder);
    std::memcpy(page + kCreationDateOffset, &created, sizeof created);

    JetPutU32(page + kEngineNumberOffset, kEngineNumber);
    std::memcpy(page + kEngineVersionOffset, kEngineVersion, sizeof kEngineVersion);
    JetPutU16(page + kEntryRunOffset, kFirstRunEntry);
    for (std::size_t at = kEntryRunOffset + 2; at < layout.pageSize; at += 2) {
        JetPutU16(page + at, kRunEntry);
    }
    ToggleMask(page, layout);
}

}  // namespace varnix
