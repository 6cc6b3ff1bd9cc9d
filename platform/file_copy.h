// Copies a file to a path that must not exist yet; a partial copy is removed.
#pragma once

#include <string>

namespace varnix {

bool CopyFileNoOverwrite(const std::string& source, const std::string& target);

}  // namespace varnix
