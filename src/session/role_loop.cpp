#include "session/role_loop.h"

#include <string>

#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "module/globals.h"
#include "session/log.h"

namespace {

CockpitVars& Vars() { return *sharedState->vars; }

double ValueOf(std::size_t s) { return Load(Vars().value[s]); }

float ValueOf(const LVarEntry& e) { return e.value.load(std::memory_order_relaxed); }

void SendGearIfMoved(const RoleOutput& output) {
  // The pass looks at the gear once for nearly every entry; only this thread
  // writes the last value, so a plain load and store do, where an exchange
  // would be one locked instruction an entry.
  const double gear = Load(sharedState->aircraft->gearHandlePosition);
  if (gear == Load(sharedState->lastGearHandle)) return;
  Store(sharedState->lastGearHandle, gear);
  output.reliable(kind::kGearHandle, 0.0, gear, 0.0);
}

// A momentary button raised while the cockpit clears its keys: a local press
// goes to the peer, a value that came from the peer does not go back. Either
// way the button is released.
void ReleaseButton(const RoleOutput& output, LVarEntry& e, std::uint32_t i) {
  if (e.syncMark.load(std::memory_order_relaxed) == -1) {
    e.syncMark.store(0, std::memory_order_relaxed);
  } else {
    output.reliable(kind::kVarValue, i, ValueOf(e), 0.0);
  }
  SetLVar(e, 0.0f);
}

// An FCUh entry goes only with the FCU entry before it, when that one changed
// and the two differ, the FCU entry first.
void SendFcuPair(const RoleOutput& output, const LVarEntry& e, std::uint32_t i) {
  if (i == 0) return;
  LVarEntry& d = *lvarTable[i - 1];
  if (EntryChanged(d) && d.category == LVarCategory::kFcu && ValueOf(e) != ValueOf(d)) {
    output.datagram(i - 1, ValueOf(d), 0.0);
    output.datagram(i, ValueOf(e), 0.0);
  }
}

void ScanTable(const RoleOutput& output, ReliableChangeRule rule) {
  const bool keysClear = ValueOf(slot::kKeysClear) == 1.0;
  for (std::uint32_t i = 0; i < Load(lvarCount) && i < lvarTable.size(); ++i) {
    LVarEntry& e = *lvarTable[i];
    const bool changed = PollEntry(e);
    const float value = ValueOf(e);
    if (changed && e.category == LVarCategory::kNone) {
      output.reliable(kind::kVarValue, i, value, 0.0);
      if (rule == ReliableChangeRule::kEndsScan) return;
    } else if (keysClear && value != 0.0f && e.category == LVarCategory::kMbtn) {
      ReleaseButton(output, e, i);
    } else if (e.category == LVarCategory::kFcuHeading) {
      SendFcuPair(output, e, i);
    } else if (changed && e.category == LVarCategory::kFctl && Load(isFollower) == 0) {
      output.datagram(i, value, 0.0);
    } else if (changed && e.category == LVarCategory::kDisp && ValueOf(slot::kMpSyncDsp) != 0.0) {
      output.datagram(i, value, 0.0);
    } else if (changed && e.category == LVarCategory::kTerrWx && ValueOf(slot::kMpSyncWx) != 0.0) {
      output.datagram(i, value, 0.0);
    } else if (changed && e.category == LVarCategory::kBtn) {
      if (value != 0.0f) output.datagram(i, value, 0.0);
    } else {
      SendGearIfMoved(output);
    }
  }
}

}  // namespace

// Acquire: what the simulator thread did before it asked for the stop is
// done before the role object goes away.
bool RoleRunning() {
  return shutdownState.load(std::memory_order_acquire) == shutdown_state::kRunning;
}

void ShowConnectionStatus() {
  CockpitVars& vars = Vars();
  const double status = Load(connectionStatus);
  if (Load(vars.value[slot::kShownStatus]) == status) return;
  Store(vars.value[slot::kShownStatus], status);
  WriteFixed(slot::kMpStsId, status);
}

void RunSendPass(const RoleOutput& output, ReliableChangeRule rule) {
  CockpitVars& vars = Vars();
  if (const std::optional<double> keysClear = ReadFixed(slot::kKeysClear)) {
    Store(vars.value[slot::kKeysClear], *keysClear);
  }
  ScanTable(output, rule);
  if (ValueOf(slot::kKeysClear) == 1.0 && ReadFixed(slot::kKeysClear) == 1.0) {
    WriteFixed(slot::kKeysClear, 0.0);
  }
  if (Load(isFollower) == 0) output.state(StateRecordFrom(*sharedState->aircraft));
}

void TakeToggleRequest(const RoleOutput& output) {
  CockpitVars& vars = Vars();
  if (Load(vars.value[slot::kMpTgl]) == 0.0) return;
  const std::uint8_t follower = Load(isFollower) == 0 ? 1 : 0;
  Store(isFollower, follower);
  WriteFixed(slot::kMpTgl, 0.0);
  Store(vars.value[slot::kMpTgl], 0.0);
  output.followerFlag();
  LogMessage("MasterTGL" + std::to_string(follower));
  WriteFixed(slot::kMpConn, follower);
}
