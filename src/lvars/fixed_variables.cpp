#include "lvars/fixed_variables.h"

#include "module/globals.h"
#include "module/panel_services.h"

namespace {

// Marks that the latest "MCDU_KeysClear" command has been carried out.
constexpr double kKeysClearHandled = -1.0;

}  // namespace

void RegisterFixedVariables() {
  for (const auto& v : kFixedVariables) panel::CreateNamedValue(v.name);
}

void ResolveFixedVariables() {
  CockpitVars& vars = *sharedState->vars;
  for (const auto& v : kFixedVariables) Store(vars.id[v.idSlot], panel::FindNamedValue(v.name));
}

void PollFixedVariables() {
  CockpitVars& vars = *sharedState->vars;
  for (const auto& v : kFixedVariables) {
    if (v.valueSlot)
      Store(vars.value[*v.valueSlot], panel::ReadNamedValue(Load(vars.id[v.idSlot])));
  }
}

void PollLVarTable() {
  const std::uint32_t count = Load(lvarCount);
  if (Load(roleStarted) || count == 0) return;
  CockpitVars& vars = *sharedState->vars;
  const std::uint32_t keysClearId = Load(vars.id[slot::kKeysClear]);
  const double keysClear = panel::ReadNamedValue(keysClearId);
  Store(vars.value[slot::kKeysClear], keysClear);

  for (std::uint32_t i = 0; i < count && i < lvarTable.size(); ++i) {
    LVarEntry& entry = *lvarTable[i];
    PollEntry(entry);
    if (keysClear == 1.0 && Load(entry.value) == 1.0f && entry.category == LVarCategory::kMbtn) {
      SetLVar(entry, 0.0f);
    }
  }

  // A command set while the table was read is left for the next update.
  if (panel::ReadNamedValue(keysClearId) == keysClear) {
    panel::WriteNamedValue(keysClearId, 0.0);
    Store(vars.value[slot::kKeysClear], kKeysClearHandled);
  }
}
