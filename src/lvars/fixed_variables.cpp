#include "lvars/fixed_variables.h"

#include "common/module_state.h"
#include "common/panel_services.h"
#include "lvars/fixed_ids.h"

namespace {

// Marks that the latest "MCDU_KeysClear" command has been carried out.
constexpr double kKeysClearHandled = -1.0;

}  // namespace

void RegisterFixedVariables() {
  for (const auto& v : kFixedVariables) panel::CreateNamedValue(v.name);
}

void ResolveFixedVariables() {
  for (const auto& v : kFixedVariables) ResolveFixed(v.name, v.idSlot);
}

void PollFixedVariables() {
  CockpitVars& vars = *simThread.sharedState->vars;
  for (const auto& v : kFixedVariables) {
    // A name the simulator did not know at gauge creation is made known and
    // looked up again until it is.
    if (!FixedId(v.idSlot)) {
      panel::CreateNamedValue(v.name);
      ResolveFixed(v.name, v.idSlot);
    }
    if (!v.valueSlot) continue;
    if (const std::optional<double> value = ReadFixed(v.idSlot)) {
      Store(vars.value[*v.valueSlot], *value);
    }
  }
}

void PollLVarTable() {
  const std::uint32_t count = LoadedEntryCount();
  if (Load(roleSetup.roleStarted) || count == 0) return;
  CockpitVars& vars = *simThread.sharedState->vars;
  // Without its identifier the command reads as not given.
  const std::optional<double> keysClear = ReadFixed(slot::kKeysClear);
  if (keysClear) Store(vars.value[slot::kKeysClear], *keysClear);

  for (std::uint32_t i = 0; i < count; ++i) {
    LVarEntry& entry = *simThread.lvarTable[i];
    PollEntry(entry);
    if (keysClear == 1.0 && Load(entry.value) == 1.0f && entry.category == LVarCategory::kMbtn) {
      SetLVar(entry, 0.0f);
    }
  }

  // A command set while the table was read is left for the next update.
  if (keysClear && ReadFixed(slot::kKeysClear) == keysClear) {
    WriteFixed(slot::kKeysClear, 0.0);
    Store(vars.value[slot::kKeysClear], kKeysClearHandled);
  }
}
