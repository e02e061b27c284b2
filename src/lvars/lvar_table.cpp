#include "lvars/lvar_table.h"

#include <fstream>

#include "lvars/lvar_file.h"
#include "module/globals.h"
#include "session/log.h"
#include "session/role_start.h"

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

void TellStartWaits() {
  // The table is tried every frame; the pilot is told once.
  if (startWaitLogged.exchange(true, std::memory_order_relaxed)) return;
  const auto path = ModuleFilePath("LVars.cfg");
  LogMessage("MP_START is set, but " + path.value_or(std::string("LVars.cfg")) +
             " is missing or lists no variable; the session starts once it does");
}

}  // namespace

void LoadLVarTable() {
  const bool startAsked = Load(sharedState->vars->value[slot::kMpStart]) != 0.0;
  if (Load(lvarCount) == 0) {
    ReadTableFile();
    Store(lvarCount, lvarTable.size());
    if (Load(lvarCount) == 0) {
      if (startAsked && !Load(roleStarted)) TellStartWaits();
      return;
    }
  }
  if (startAsked && !Load(roleStarted)) StartRole();
}
