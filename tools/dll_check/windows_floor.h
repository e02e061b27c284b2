// The oldest Windows a DLL can load on, as its imports set it: Windows
// refuses to load a DLL that imports a function its own libraries lack.
#pragma once

#include <string>

#include "module_dll_check.h"
#include "pe_image.h"

namespace module_check {

// One finding for the DLL named `fileName`: it passes when every import it
// has loads on Windows Vista, the oldest release the module supports, and it
// names the imports that need a release after Windows XP.
Finding CheckWindowsFloor(const pe::Image& image, const std::string& fileName);

}  // namespace module_check
