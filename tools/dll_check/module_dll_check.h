// The rules a MultiShared.dll must meet before the simulator can load it:
// the file kind, the two exported records and their contents, the gauge they
// lead to, and the DLLs it imports from.
#pragma once

#include <string>
#include <vector>

#include "pe_image.h"

namespace module_check {

struct Finding {
  bool ok;
  std::string text;
};

std::vector<Finding> CheckModuleDll(const pe::Image& image);

// Windows refuses to load a module unless every function it imports from the
// DLL named `dllName` is exported by that DLL under the same name: one finding
// per imported name, checked against `library`, the DLL that will lie beside it.
std::vector<Finding> CheckImportsExported(const pe::Image& module, const pe::Image& library,
                                          const std::string& dllName);

// Each 32-bit DLL of ours registers its unwind tables with its own unwinder
// when another add-on's MinGW runtime would take them over, and finds them by
// the section header name ".eh_fram" (".eh_frame" cut to eight characters).
Finding CheckFrameTablesFindable(const pe::Image& image, const std::string& fileName);

bool AllPassed(const std::vector<Finding>& findings);

}  // namespace module_check
