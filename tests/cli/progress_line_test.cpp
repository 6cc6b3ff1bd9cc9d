// Progress on a terminal is one line rewritten in place, elsewhere a line for each change.
#include "progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace varnix {
namespace {

// What the progress wrote, shown `texts` one after the other and then ended.
std::string Written(bool terminal, bool quiet, std::initializer_list<const char*> texts) {
    std::FILE* out = std::tmpfile();
    ProgressLine progress(out, terminal, quiet);
    for (const char* text : texts) {
        progress.Show(text);
    }
    progress.End();
    progress.End();
    std::string written(static_cast<std::size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    return written;
}

TEST(ProgressLineTest, TerminalRewritesOneLineAndOtherOutputsTakeEachChange) {
    // A shorter text blanks out what the longer one before it left.
    EXPECT_EQ(Written(true, false, {"slot 10", "slot 10", "done"}), "\rslot 10\rdone   \n");
    EXPECT_EQ(Written(false, false, {"slot 10", "slot 10", "done"}), "slot 10\ndone\n");
    EXPECT_EQ(Written(true, true, {"slot 10"}), "");
    EXPECT_EQ(Written(true, false, {}), "");
}

}  // namespace
}  // namespace varnix
