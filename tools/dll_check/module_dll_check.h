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

bool AllPassed(const std::vector<Finding>& findings);

}  // namespace module_check
