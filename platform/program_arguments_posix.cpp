#include "program_arguments.h"

namespace varnix {

ProgramArguments::ProgramArguments(int argc, char** argv) : strings_(argv, argv + argc) {
    for (const std::string& argument : strings_) {
        pointers_.push_back(argument.c_str());
    }
}

}  // namespace varnix
