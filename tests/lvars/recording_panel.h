// A panel service table that records the named-variable calls the module
// makes, for tests that check the order and number of those calls. Names
// become known on creation unless listed as unknown; ids count from 0, and
// find answers -1 for an unknown name, as the simulator's services do.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "callconv.h"
#include "common/panel_services.h"
#include "module/module_records.h"

namespace recording_panel {

struct Call {
  std::string service;   // "create", "find", "read", "write"
  std::string name;      // create, find
  std::uint32_t id = 0;  // read, write
  double value = 0.0;    // write
};

struct State {
  std::vector<Call> calls;
  std::map<std::string, std::uint32_t> ids;
  std::map<std::uint32_t, double> values;
  std::set<std::string> unknown;
};

inline State& Recorded() {
  static State state;
  return state;
}

inline std::int32_t MS_STDCALL Create(const char* name) {
  State& s = Recorded();
  s.calls.push_back({"create", name});
  if (s.unknown.contains(name)) return -1;
  const auto [it, inserted] = s.ids.try_emplace(name, static_cast<std::uint32_t>(s.ids.size()));
  return static_cast<std::int32_t>(it->second);
}

inline std::int32_t MS_STDCALL Find(const char* name) {
  State& s = Recorded();
  s.calls.push_back({"find", name});
  const auto it = s.ids.find(name);
  return it == s.ids.end() ? -1 : static_cast<std::int32_t>(it->second);
}

inline double MS_STDCALL Read(std::uint32_t id) {
  State& s = Recorded();
  s.calls.push_back({"read", "", id});
  return s.values[id];
}

inline void MS_STDCALL Write(std::uint32_t id, double value) {
  State& s = Recorded();
  s.calls.push_back({"write", "", id, value});
  s.values[id] = value;
}

// Clears the record and installs the table in the module's import table.
inline void Install() {
  static void* table[panel::kTableSlots] = {};
  table[panel::SlotIndex(panel::kCreateNamedValue)] = reinterpret_cast<void*>(&Create);
  table[panel::SlotIndex(panel::kFindNamedValue)] = reinterpret_cast<void*>(&Find);
  table[panel::SlotIndex(panel::kReadNamedValue)] = reinterpret_cast<void*>(&Read);
  table[panel::SlotIndex(panel::kWriteNamedValue)] = reinterpret_cast<void*>(&Write);
  Recorded() = State{};
  ImportTable.panels = table;
}

// The calls of one service, in order.
inline std::vector<Call> CallsOf(const std::string& service) {
  std::vector<Call> result;
  for (const auto& c : Recorded().calls) {
    if (c.service == service) result.push_back(c);
  }
  return result;
}

}  // namespace recording_panel
