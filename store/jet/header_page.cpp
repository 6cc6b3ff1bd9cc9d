#include "header_page.h"

#include <cstring>
#include <iterator>
#include <utility>

#include "pages.h"

namespace varnix {

namespace {

constexpr std::uint8_t kHeaderKey[] = {0xc7, 0xda, 0x39, 0x6b};

constexpr char kEngineName[] = "Standard Jet DB";  // at 4, with its closing zero
constexpr std::size_t kEngineNameOffset = 4;
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::uint32_t kJet4Version = 1;

// In the masked region.
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kDatabaseKeyOffset = 0x3e;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet4PasswordSize = 40;
constexpr std::size_t kSortOrderOffset = 0x6e;  // Jet 4: order (2 bytes), 0, version
constexpr std::size_t kCreationDateOffset = 0x72;

constexpr std::uint16_t kCodePage1252 = 1252;
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

}  // namespace

std::size_t JetMaskedHeaderSize(const JetLayout& layout) {
    return layout.jet4 ? 128 : 126;
}

void ToggleJetHeaderMask(std::uint8_t* page, const JetLayout& layout) {
    std::uint8_t state[256];
    for (int i = 0; i < 256; ++i) {
        state[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + kHeaderKey[i % sizeof kHeaderKey]) & 0xff;
        std::swap(state[i], state[j]);
    }
    std::uint8_t* masked = page + kJetMaskedHeaderStart;
    for (std::size_t n = 0, i = 0, j = 0; n < JetMaskedHeaderSize(layout); ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        masked[n] ^= state[(state[i] + state[j]) & 0xff];
    }
}

void WriteJet4HeaderPage(std::uint8_t* page, double created) {
    page[1] = 0x01;
    std::memcpy(page + kEngineNameOffset, kEngineName, sizeof kEngineName);
    JetPutU32(page + kVersionOffset, kJet4Version);

    for (std::size_t i = 0; i < std::size(kMaskedStartNumbers); ++i) {
        JetPutU32(page + kJetMaskedHeaderStart + 4 * i, kMaskedStartNumbers[i]);
    }
    JetPutU16(page + kCodePageOffset, kCodePage1252);
    JetPutU32(page + kDatabaseKeyOffset, 0);
    // Jet 4 masks the password further with the whole days of the creation date, so an
    // empty password is stored as those days, repeated.
    const auto days = created > -2147483648.0 && created < 2147483648.0
                          ? static_cast<std::uint32_t>(static_cast<std::int32_t>(created))
                          : 0u;
    for (std::size_t at = 0; at < kJet4PasswordSize; at += 4) {
        JetPutU32(page + kPasswordOffset + at, days);
    }
    JetPutU16(page + kSortOrderOffset, kGeneralSortOrder);
    std::memcpy(page + kCreationDateOffset, &created, sizeof created);

    JetPutU32(page + kEngineNumberOffset, kEngineNumber);
    std::memcpy(page + kEngineVersionOffset, kEngineVersion, sizeof kEngineVersion);
    JetPutU16(page + kEntryRunOffset, kFirstRunEntry);
    for (std::size_t at = kEntryRunOffset + 2; at < kJet4Layout.pageSize; at += 2) {
        JetPutU16(page + at, kRunEntry);
    }
    ToggleJetHeaderMask(page, kJet4Layout);
}

}  // namespace varnix
