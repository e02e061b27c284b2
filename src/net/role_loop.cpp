#include "net/role_loop.h"

#include <string>

#include "common/log.h"
#include "common/module_state.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"

namespace {

CockpitVars& Vars() { return *simThread.sharedState->vars; }

double ValueOf(std::size_t s) { return Load(Vars().value[s]); }

float ValueOf(const LVarEntry& e) { return e.value.load(std::memory_order_relaxed); }

void SendGearIfMoved(const RoleOutput& output) {
  // The pass looks at the gear once for nearly every entry; only this thread
  // writes the last value, so a plain load and store do, where an exchange
  // would be one locked instruction an entry.
  const double gear = Load(simThread.sharedState->aircraft->gearHandlePosition);
  if (gear == Load(simThread.sharedState->lastGearHandle)) return;
  Store(simThread.sharedState->lastGearHandle, gear);
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

// An FCUh entry goes only with the FCU entry before it, when that one moved
// and the two differ, the FCU entry first.
void SendFcuPair(const RoleOutput& output, LVarEntry& e, std::uint32_t i, std::int64_t nowMs) {
  if (i == 0) return;
  LVarEntry& d = *simThread.lvarTable[i - 1];
  if (d.category != LVarCategory::kFcu || ValueOf(e) == ValueOf(d)) return;
  if (!EntryChanged(d) && !Drifted(d, nowMs)) return;
  output.datagram(i - 1, ValueOf(d), 0.0);
  output.datagram(i, ValueOf(e), 0.0);
  NoteSent(d, ValueOf(d), nowMs, false);
  NoteSent(e, ValueOf(e), nowMs, true);
}

// Categories whose value is held, so that a value slowly moved away from the
// one last agreed is sent too. Buttons are pressed and released instead.
bool HeldValue(LVarCategory c) {
  return c == LVarCategory::kNone || c == LVarCategory::kFctl || c == LVarCategory::kDisp ||
         c == LVarCategory::kTerrWx;
}

void SendDatagramChange(const RoleOutput& output, LVarEntry& e, std::uint32_t i,
                        std::int64_t nowMs) {
  const float value = ValueOf(e);
  output.datagram(i, value, 0.0);
  NoteSent(e, value, nowMs, true);
}

void ScanTable(const RoleOutput& output, ReliableChangeRule rule, std::int64_t nowMs) {
  const bool keysClear = ValueOf(slot::kKeysClear) == 1.0;
  for (std::uint32_t i = 0; i < Load(simThread.lvarCount) && i < simThread.lvarTable.size(); ++i) {
    LVarEntry& e = *simThread.lvarTable[i];
    const PollResult poll = PollEntry(e);
    const bool changed = poll.changed;
    const float value = ValueOf(e);
    if (poll.moved) NoteMotion(e, nowMs);
    const bool due = changed || (HeldValue(e.category) && Drifted(e, nowMs));
    if (due && e.category == LVarCategory::kNone) {
      output.reliable(kind::kVarValue, i, value, 0.0);
      NoteSent(e, value, nowMs, false);
      if (rule == ReliableChangeRule::kEndsScan) return;
    } else if (keysClear && value != 0.0f && e.category == LVarCategory::kMbtn) {
      ReleaseButton(output, e, i);
    } else if (e.category == LVarCategory::kFcuHeading) {
      SendFcuPair(output, e, i, nowMs);
    } else if (due && e.category == LVarCategory::kFctl && Load(roleState.isFollower) == 0) {
      SendDatagramChange(output, e, i, nowMs);
    } else if (due && e.category == LVarCategory::kDisp && ValueOf(slot::kMpSyncDsp) != 0.0) {
      SendDatagramChange(output, e, i, nowMs);
    } else if (due && e.category == LVarCategory::kTerrWx && ValueOf(slot::kMpSyncWx) != 0.0) {
      SendDatagramChange(output, e, i, nowMs);
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
  return roleState.shutdownState.load(std::memory_order_acquire) == shutdown_state::kRunning;
}

void ShowConnectionStatus() {
  CockpitVars& vars = Vars();
  const double status = Load(linkState.connectionStatus);
  if (Load(vars.value[slot::kShownStatus]) == status) return;
  Store(vars.value[slot::kShownStatus], status);
  WriteFixed(slot::kMpStsId, status);
}

void RunSendPass(const RoleOutput& output, ReliableChangeRule rule, ConvergeState& converge,
                 std::int64_t nowMs) {
  CockpitVars& vars = Vars();
  if (const std::optional<double> keysClear = ReadFixed(slot::kKeysClear)) {
    Store(vars.value[slot::kKeysClear], *keysClear);
  }
  ScanTable(output, rule, nowMs);
  ConvergePass(output, converge, nowMs);
  if (ValueOf(slot::kKeysClear) == 1.0 && ReadFixed(slot::kKeysClear) == 1.0) {
    WriteFixed(slot::kKeysClear, 0.0);
  }
  if (Load(roleState.isFollower) == 0)
    output.state(StateRecordFrom(*simThread.sharedState->aircraft));
}

void TakeToggleRequest(const RoleOutput& output) {
  CockpitVars& vars = Vars();
  if (Load(vars.value[slot::kMpTgl]) == 0.0) return;
  const std::uint8_t follower = Load(roleState.isFollower) == 0 ? 1 : 0;
  Store(roleState.isFollower, follower);
  WriteFixed(slot::kMpTgl, 0.0);
  Store(vars.value[slot::kMpTgl], 0.0);
  output.followerFlag();
  LogMessage("MasterTGL" + std::to_string(follower));
  WriteFixed(slot::kMpConn, follower);
}
