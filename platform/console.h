// What a run of the program finds around it: the text console of a command-line run, the
// display of a window, and how a stop by signal ends it.
#pragma once

#include <cstdio>

namespace varnix {

// Windows builds the program as a windowed one, which gets no console: a command-line
// run attaches to the console of the program that started it, so its output is seen
// there, in UTF-8 as the program's texts are (the console's code page is put back at the
// end). Standard streams that lead somewhere already (a pipe, a file) are kept, and get
// the same UTF-8 bytes. Nothing to do elsewhere.
void UseParentConsole();

// The stream is a terminal, where one line can be rewritten in place.
bool IsTerminal(int fd);

// The standard stream carries bytes as they are (CSV through a pipe): no line-end
// translation on Windows. Nothing to do elsewhere.
void MakeBinary(std::FILE* stream);

// A window can be shown: a display is there, or the arguments or the environment choose a
// Qt platform of their own (offscreen, say). Always so on Windows.
bool HasDisplay(int argc, const char* const* argv);

// Ends the process as the signal ends it by default, so that the shell that started it
// sees a stop, not a failure (a loop over twenty devices stops at Ctrl+C). On Windows, with
// the status of a console Ctrl+C.
[[noreturn]] void EndBySignal(int signal);

}  // namespace varnix
