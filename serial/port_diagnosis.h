// A look at a port without using it: what opening it now would meet. For the list of
// ports and the port dialog's tooltips; a failed open of the port itself carries its own
// cause (ECommsError::Cause) and needs no second look.
#pragma once

#include <optional>
#include <string>

#include "port_open_error.h"

namespace varnix {

// Nothing when `name` opens now (it is closed again at once); else why it does not.
std::optional<PortOpenError> DiagnosePort(const std::string& name);

}  // namespace varnix
