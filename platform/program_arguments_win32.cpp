#include "program_arguments.h"

#include <windows.h>

#include <shellapi.h>

#include "utf16_win32.h"

namespace varnix {

ProgramArguments::ProgramArguments(int argc, char** argv) {
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            strings_.push_back(Utf8FromUtf16(wide[i]));
        }
        LocalFree(wide);
    } else {
        strings_.assign(argv, argv + argc);
    }
    for (const std::string& argument : strings_) {
        pointers_.push_back(argument.c_str());
    }
}

}  // namespace varnix
