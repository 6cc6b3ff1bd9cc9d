// A new table definition (TDEF) laid out on its page, the inverse of ReadJetTableDef: the
// header, the real indexes' entry counts, the columns, their names, the real and logical
// indexes, their names, and the usage maps of the long-value columns. Jet 4 only.
#pragma once

#include <cstdint>
#include <vector>

#include "table_def.h"

namespace varnix {

struct JetNewTableDef {
    // Columns, indexes and usage maps as ReadJetTableDef gives them back. Index flags are as
    // stored (Access also sets 0x80 on every index it makes).
    JetTableDef def;
    bool system = false;  // a system table's definition says so
    // Each long-value column (Memo, OLE) keeps its own pair of usage maps for its pages.
    struct LongValueMaps {
        std::uint16_t column = 0;  // its number
        std::uint32_t ownedPages = 0;
        std::uint32_t freePages = 0;
    };
    std::vector<LongValueMaps> longValueMaps;
};

// Writes the definition onto its page, `table.def.page`, which it fills. Throws
// JetUnsupported when the definition would not fit one page, or the file is not Jet 4.
void WriteJetTableDefinition(JetPages& pages, const JetNewTableDef& table);

// Writes, for each real index of `def`, how many different keys it holds, as Access keeps
// that count in the definition.
void WriteJetIndexKeyCounts(JetPages& pages, const JetTableDef& def,
                            const std::vector<std::uint32_t>& counts);

}  // namespace varnix
