// The cockpit's named variables: one value per name for the life of the
// process, reached by name (cockpit, tests) or by identifier (the module).
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "internal.h"

namespace standin {

namespace {

struct NamedValueStore {
  std::mutex mutex;
  std::unordered_map<std::string, std::uint32_t> ids;
  // Index = identifier: the simulator hands identifiers out from 0 in the
  // order the names become known.
  std::vector<std::pair<std::string, double>> values;
};

NamedValueStore& Store() {
  static NamedValueStore store;
  return store;
}

// Caller holds the lock.
std::uint32_t CreateLocked(NamedValueStore& store, const std::string& name) {
  const auto [it, inserted] =
      store.ids.try_emplace(name, static_cast<std::uint32_t>(store.values.size()));
  if (inserted) store.values.emplace_back(name, 0.0);
  return it->second;
}

// Caller holds the lock. The trace is written under it so that its order is
// the order in which the values changed.
void WriteLocked(NamedValueStore& store, std::uint32_t id, double value, By by) {
  auto& [name, stored] = store.values[id];
  stored = value;
  Emit("lvar_write", {{"name", name}, {"value", value}, {"by", ByName(by)}});
}

}  // namespace

std::uint32_t CreateNamed(const std::string& name) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  return CreateLocked(store, name);
}

std::optional<std::uint32_t> FindNamed(const std::string& name) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  const auto it = store.ids.find(name);
  if (it == store.ids.end()) return std::nullopt;
  return it->second;
}

std::optional<double> ReadNamed(const std::string& name) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  const auto it = store.ids.find(name);
  if (it == store.ids.end()) return std::nullopt;
  return store.values[it->second].second;
}

void WriteNamed(const std::string& name, double value, By by) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  WriteLocked(store, CreateLocked(store, name), value, by);
}

double ReadNamedById(std::uint32_t id) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  if (id >= store.values.size()) return 0.0;
  return store.values[id].second;
}

void WriteNamedById(std::uint32_t id, double value, By by) {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  if (id >= store.values.size()) return;
  WriteLocked(store, id, value, by);
}

void ResetNamedValues() {
  auto& store = Store();
  std::lock_guard lock(store.mutex);
  store.ids.clear();
  store.values.clear();
}

}  // namespace standin
