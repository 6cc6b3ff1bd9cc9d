// The folder that holds the settings file template "zur.mdb": $WINDIR when set and not
// empty; otherwise the build tree's data folder for programs run from the build tree,
// or the installed data folder (<prefix>/share/varnix) reached from the program's own
// folder (<prefix>/bin), wherever the installed tree was put.
#pragma once

#include <string>

namespace varnix {

std::string WindowsDirectory();
std::string TemplatePath();  // WindowsDirectory() + "/zur.mdb"

}  // namespace varnix
