// LVars.cfg as any text: every entry must come out as the grammar says.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "lvars/lvar_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& entry : ParseLVarTable(in)) {
    // A name is one field of one line.
    if (entry->name.find_first_of(";\n") != std::string::npos) __builtin_trap();
    const auto category = static_cast<int>(entry->category);
    if (category < static_cast<int>(LVarCategory::kNone) ||
        category > static_cast<int>(LVarCategory::kBtn)) {
      __builtin_trap();
    }
  }
  return 0;
}
