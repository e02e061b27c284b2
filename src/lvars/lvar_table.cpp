#include "lvars/lvar_table.h"

#include <fstream>

#include "lvars/lvar_file.h"
#include "module/globals.h"
#include "session/log.h"

namespace {

// An unknown documents folder counts as a missing file: the next update
// tries again. The table's mistakes are logged once per load.
void ReadTableFile() {
  lvarTable.clear();
  const auto path = ModuleFilePath("LVars.cfg");
  if (!path) return;
  std::ifstream file(*path, std::ios::in | std::ios::binary);
  if (!file.is_open()) return;
  const std::vector<LVarLine> lines = ReadLVarLines(file);
  lvarTable = TableEntries(lines);
  for (const auto& problem : LVarTableProblems(lines)) LogMessage(problem);
}

}  // namespace

bool LoadLVarTable() {
  if (Load(lvarCount) == 0) {
    ReadTableFile();
    Store(lvarCount, lvarTable.size());
  }
  return Load(lvarCount) != 0;
}
