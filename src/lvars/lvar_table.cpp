#include "lvars/lvar_table.h"

#include <cassert>
#include <fstream>

#include "common/log.h"
#include "common/module_state.h"
#include "lvars/lvar_file.h"

namespace {

// An unknown documents folder counts as a missing file: the next update
// tries again. The table's mistakes are logged once per load.
void ReadTableFile() {
  simThread.lvarTable.clear();
  const auto path = ModuleFilePath("LVars.cfg");
  if (!path) return;
  std::ifstream file(*path, std::ios::in | std::ios::binary);
  if (!file.is_open()) return;
  const std::vector<LVarLine> lines = ReadLVarLines(file);
  simThread.lvarTable = TableEntries(lines);
  for (const auto& problem : LVarTableProblems(lines)) LogMessage(problem);
}

}  // namespace

bool LoadLVarTable() {
  assert(OnSimulatorThread());
  if (Load(simThread.lvarCount) == 0) {
    ReadTableFile();
    Store(simThread.lvarCount, simThread.lvarTable.size());
  }
  return Load(simThread.lvarCount) != 0;
}
