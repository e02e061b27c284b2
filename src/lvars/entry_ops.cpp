#include "lvars/entry_ops.h"

#include <mutex>

#include "module/globals.h"
#include "module/panel_services.h"

void ResolveEntry(LVarEntry& entry) {
  if (Load(entry.id) != 0) return;
  panel::CreateNamedValue(entry.name.c_str());
  Store(entry.id, panel::FindNamedValue(entry.name.c_str()));
}

void PollEntry(LVarEntry& entry) {
  ResolveEntry(entry);
  const std::uint32_t id = Load(entry.id);
  if (id == 0) return;
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  const auto now = static_cast<float>(panel::ReadNamedValue(id));
  Store(entry.previous, Load(entry.value));
  Store(entry.value, now);
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
