// The per-user configuration folder: ${XDG_CONFIG_HOME:-$HOME/.config}/ZUR.
#pragma once

#include <string>

namespace varnix {

std::string ConfigFolder();

}  // namespace varnix
