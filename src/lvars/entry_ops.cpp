#include "lvars/entry_ops.h"

#include <cmath>
#include <mutex>

#include "common/module_state.h"
#include "common/panel_services.h"

std::optional<std::uint32_t> ResolveEntry(LVarEntry& entry) {
  if (entry.resolved.load(std::memory_order_acquire)) return Load(entry.id);
  panel::CreateNamedValue(entry.name.c_str());
  const std::optional<std::uint32_t> id = panel::FindNamedValue(entry.name.c_str());
  if (!id) return std::nullopt;
  // Threads that resolve at once store the same id.
  Store(entry.id, *id);
  entry.resolved.store(true, std::memory_order_release);
  return id;
}

namespace {
// Caller holds the entry's guard.
bool Differs(float value, float previous) { return std::fabs(value - previous) > 0.2; }
}  // namespace

PollResult PollEntry(LVarEntry& entry) {
  const std::optional<std::uint32_t> id = ResolveEntry(entry);
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  if (!id) {
    const float value = Load(entry.value);
    const float previous = Load(entry.previous);
    return {Differs(value, previous), value != previous};
  }
  const auto now = static_cast<float>(panel::ReadNamedValue(*id));
  const float before = Load(entry.value);
  Store(entry.previous, before);
  Store(entry.value, now);
  return {Differs(now, before), now != before};
}

float ReadLiveValue(LVarEntry& entry) {
  const std::optional<std::uint32_t> id = ResolveEntry(entry);
  return id ? static_cast<float>(panel::ReadNamedValue(*id)) : Load(entry.value);
}

bool EntryChanged(LVarEntry& entry) {
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  return Differs(Load(entry.value), Load(entry.previous));
}

namespace {

// Writes and remembers `value`; entry.pollGuard held.
void WriteHeld(LVarEntry& entry, std::optional<std::uint32_t> id, float value) {
  // An unresolved name has no id to write through, so its value is only
  // remembered.
  if (id) panel::WriteNamedValue(*id, static_cast<double>(value));
  Store(entry.value, value);
  Store(entry.previous, value);
}

}  // namespace

void SetLVar(LVarEntry& entry, float value) {
  const std::optional<std::uint32_t> id = ResolveEntry(entry);
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  WriteHeld(entry, id, value);
}

void SetAgreedLVar(LVarEntry& entry, float value) {
  const std::optional<std::uint32_t> id = ResolveEntry(entry);
  std::lock_guard<std::mutex> lock(entry.pollGuard);
  WriteHeld(entry, id, value);
  Store(entry.agreed, value);
}
