#include "lvars/fixed_ids.h"

#include "common/module_state.h"
#include "common/panel_services.h"

std::optional<std::uint32_t> FixedId(std::size_t idSlot) {
  const CockpitVars& vars = *simThread.sharedState->vars;
  if (!vars.resolved[idSlot].load(std::memory_order_acquire)) return std::nullopt;
  return Load(vars.id[idSlot]);
}

std::optional<double> ReadFixed(std::size_t idSlot) {
  const std::optional<std::uint32_t> id = FixedId(idSlot);
  if (!id) return std::nullopt;
  return panel::ReadNamedValue(*id);
}

void WriteFixed(std::size_t idSlot, double value) {
  if (const std::optional<std::uint32_t> id = FixedId(idSlot)) panel::WriteNamedValue(*id, value);
}

void ResolveFixed(const char* name, std::size_t idSlot) {
  const std::optional<std::uint32_t> id = panel::FindNamedValue(name);
  if (!id) return;
  CockpitVars& vars = *simThread.sharedState->vars;
  Store(vars.id[idSlot], *id);
  vars.resolved[idSlot].store(true, std::memory_order_release);
}
