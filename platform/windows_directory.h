// The folder that holds the settings file template "zur.mdb". On Windows the Windows
// directory, and the template is taken from the program's own folder when the Windows
// directory has none. Elsewhere $WINDIR when set and not empty; otherwise the build
// tree's data folder for programs run from the build tree, or the installed data folder
// (<prefix>/share/varnix) reached from the program's own folder (<prefix>/bin), wherever
// the installed tree was put.
#pragma once

#include <string>

namespace varnix {

std::string WindowsDirectory();
std::string TemplatePath();  // the "zur.mdb" in that folder

}  // namespace varnix
