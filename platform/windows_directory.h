// The folder that holds the settings file template "zur.mdb": $WINDIR when set and not
// empty; otherwise the build tree's data folder for programs run from the build tree,
// or the installed data folder (<prefix>/share/varnix).
#pragma once

#include <string>

namespace varnix {

std::string WindowsDirectory();
std::string TemplatePath();  // WindowsDirectory() + "/zur.mdb"

}  // namespace varnix
