#include "check.h"

#include <string>

#include "error.h"
#include "table_index.h"
#include "table_rows.h"

namespace varnix {

void CheckJetTable(const JetPages& pages, JetTextForm form, const JetTableDef& def) {
    const std::vector<JetStoredRow> rows = ReadJetTableRows(pages, def);
    for (const std::uint32_t page : JetTableDataPages(pages, def)) {
        const std::size_t recorded = JetU16(pages.Page(page) + pages.Layout().dataFreeSpace);
        if (recorded != JetDataPageGap(pages, page)) {
            JetDamaged("page " + std::to_string(page) + " records " + std::to_string(recorded) +
                       " bytes free where it has " + std::to_string(JetDataPageGap(pages, page)));
        }
    }
    // Every memo value can be read, wherever it lies.
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        if (def.columns[c].type == kJetTypeMemo) {
            for (const JetStoredRow& row : rows) {
                DecodeJetValue(pages, form, def.columns[c], row.fields[c]);
            }
        }
    }
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        if (!def.columns[c].AutoNumber()) {
            continue;
        }
        for (const JetStoredRow& row : rows) {
            const JetValue value = DecodeJetValue(pages, form, def.columns[c], row.fields[c]);
            if (value.kind == JetValue::Kind::Integer &&
                value.integer > static_cast<std::int32_t>(def.autoNumber)) {
                JetDamaged("the AutoNumber counter " + std::to_string(def.autoNumber) +
                           " lies below the number " + std::to_string(value.integer));
            }
        }
    }
    for (const JetRealIndex& index : def.realIndexes) {
        const JetIndexTree tree = ReadJetIndex(pages, def.page, index.firstPage);
        if (tree.entries != JetIndexEntriesFor(pages, form, def, index, rows)) {
            JetDamaged("an index of the table does not match its rows");
        }
    }
}

}  // namespace varnix
