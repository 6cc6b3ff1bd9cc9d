// The Linux port with its system calls going through `os`, so that tests can produce
// what a pseudo-terminal cannot (modem lines, driver errors).
#pragma once

#include <memory>

#include "port_backend.h"
#include "serial_os_posix.h"

namespace varnix {

std::unique_ptr<PortBackend> MakePosixPortBackend(CommNotifier& notify, SerialOs& os);

}  // namespace varnix
