// Progress on standard error: on a terminal one line rewritten in place, elsewhere (a log,
// a pipe) one plain line for each change.
#pragma once

#include <cstdio>
#include <string>

namespace varnix {

class ProgressLine {
  public:
    ProgressLine(std::FILE* out, bool terminal, bool quiet)
        : out_(out), terminal_(terminal), quiet_(quiet) {}

    void Show(const std::string& text);
    // Closes a line that is being rewritten, so that the next text starts on its own.
    void End();

  private:
    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    std::string last_;
    bool open_ = false;
};

}  // namespace varnix
