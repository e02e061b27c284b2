#include "lvars/lvar_table.h"

#include <fstream>

#include "lvars/lvar_file.h"
#include "module/globals.h"
#include "session/log.h"
#include "session/role_start.h"

namespace {

// An unknown documents folder counts as a missing file: the next update
// tries again.
void ReadTableFile() {
  lvarTable.clear();
  const auto path = ModuleFilePath("LVars.cfg");
  if (!path) return;
  std::ifstream file(*path, std::ios::in | std::ios::binary);
  if (!file.is_open()) return;
  lvarTable = ParseLVarTable(file);
}

}  // namespace

void LoadLVarTable() {
  if (Load(lvarCount) == 0) {
    ReadTableFile();
    Store(lvarCount, lvarTable.size());
    if (Load(lvarCount) == 0) return;
  }
  if (Load(sharedState->vars->value[slot::kMpStart]) != 0.0 && !Load(roleStarted)) {
    StartRole();
  }
}
