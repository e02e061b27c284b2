#include "lvars/entry_ops.h"

#include <cmath>
#include <mutex>

#include "module/globals.h"
#include "module/panel_services.h"

void ResolveEntry(LVarEntry& entry) {
  if (Load(entry.id) != 0) return;
  panel::CreateNamedValue(entry.name.c_str());
  Store(entry.id, panel::FindNamedValue(entry.name.c_str()));
}

namespace {
// Caller holds the entry's guard.
bool Differs(float value, float previous) { return std::fabs(value - previous) > 0.2; }
}  // namespace

PollResult PollEntry(LVarEntry& entry) {
  ResolveEntry(entry);
  const std::uint32_t id = Load(entry.id);
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  if (id == 0) {
    const float value = Load(entry.value);
    const float previous = Load(entry.previous);
    return {Differs(value, previous), value != previous};
  }
  const auto now = static_cast<float>(panel::ReadNamedValue(id));
  const float before = Load(entry.value);
  Store(entry.previous, before);
  Store(entry.value, now);
  return {Differs(now, before), now != before};
}

bool EntryChanged(LVarEntry& entry) {
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  return Differs(Load(entry.value), Load(entry.previous));
}

void SetLVar(LVarEntry& entry, float value) {
  ResolveEntry(entry);
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  // Id 0 names no variable of ours: writing through it could change whatever
  // the simulator numbers 0, so an unresolved name is only remembered.
  if (const std::uint32_t id = Load(entry.id); id != 0) {
    panel::WriteNamedValue(id, static_cast<double>(value));
  }
  Store(entry.value, value);
  Store(entry.previous, value);
}
