#pragma once

#include <string>

namespace velmora {

// The program's version resource: what the build records about the product, from the
// project's version and copyright in the top-level CMakeLists.txt. The about box, the
// update page's query, `--version` and the installed package all read it from here.
std::string ProductName();          // "Velmora"
std::string ProductVersion();       // "1.1.0"
int ProductMajorVersion();          // 1
int ProductMinorVersion();          // 1
std::string LegalCopyright();
std::string ProductWebSite();       // the vendor's web site, without a trailing "/"

} // namespace velmora
