// The program's arguments in UTF-8, the encoding of every path the program passes around.
#pragma once

#include <string>
#include <vector>

namespace varnix {

// Windows hands main() its arguments in the ANSI code page, which cannot spell every file
// name: there they are read again from the wide command line. Elsewhere they are argv.
class ProgramArguments {
  public:
    ProgramArguments(int argc, char** argv);
    int Count() const { return static_cast<int>(pointers_.size()); }
    const char* const* Values() const { return pointers_.data(); }

  private:
    std::vector<std::string> strings_;
    std::vector<const char*> pointers_;
};

}  // namespace varnix
