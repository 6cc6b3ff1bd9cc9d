// The text console of a command-line run.
#pragma once

namespace varnix {

// Windows builds the program as a windowed one, which gets no console: a command-line
// run attaches to the console of the program that started it, so its output is seen
// there. Standard streams that lead somewhere already (a pipe, a file) are kept.
// Nothing to do elsewhere.
void UseParentConsole();

// The stream is a terminal, where one line can be rewritten in place.
bool IsTerminal(int fd);

}  // namespace varnix
