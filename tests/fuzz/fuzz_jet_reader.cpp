// Reads arbitrary bytes as a genuine Access file: every table the catalogue names, the
// integrity walk over all its pages, then the settings load over the same bytes. Each may
// fail with an error; none may crash or hang.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "checked_values.h"
#include "jet/file.h"
#include "jet/integrity.h"
#include "jet_settings.h"

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const JetFile file(std::vector<std::uint8_t>(data, data + size));
        try {
            for (const std::string& name : file.TableNames()) {
                try {
                    const JetTable table = file.ReadTable(name);
                    for (const auto& row : table.rows) {
                        if (row.size() != table.columns.size()) {
                            std::fprintf(stderr, "a row without one value for each column\n");
                            std::abort();
                        }
                    }
                } catch (const JetError&) {
                }
            }
        } catch (const JetError&) {
        }
        try {
            const JetPageWalk walk = WalkJetPages(file);
            if (walk.owners.size() != file.Pages().Count()) {
                std::fprintf(stderr, "the integrity walk lost pages\n");
                std::abort();
            }
        } catch (const JetError&) {
        }
        CheckedValues values;
        try {
            LoadJetSettings(file, values);
        } catch (const DatabaseError&) {
        }
    } catch (const JetError&) {
    }
    return 0;
}
