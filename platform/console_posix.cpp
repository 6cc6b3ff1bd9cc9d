#include <unistd.h>

#include "console.h"

namespace varnix {

void UseParentConsole() {}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

}  // namespace varnix
