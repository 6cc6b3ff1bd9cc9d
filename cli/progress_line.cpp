#include "progress_line.h"

namespace varnix {

void ProgressLine::Show(const std::string& text) {
    if (quiet_ || text == last_) {
        return;
    }
    if (terminal_) {
        // Back to the start of the line, the text, then blanks over what a longer one left
        // (every console understands this; not every one takes escape sequences).
        const std::size_t cover = last_.size() > text.size() ? last_.size() - text.size() : 0;
        std::fprintf(out_, "\r%s%s", text.c_str(), std::string(cover, ' ').c_str());
        open_ = true;
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    last_ = text;
    std::fflush(out_);
}

void ProgressLine::End() {
    if (open_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        open_ = false;
    }
}

}  // namespace varnix
