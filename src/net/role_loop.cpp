#include "net/role_loop.h"

#include <string>

#include "common/log.h"
#include "common/module_state.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"
#include "net/send_rules.h"

namespace {

CockpitVars& Vars() { return *simThread.sharedState->vars; }

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
  if (CockpitValue(slot::kKeysClear) == 1.0 && ReadFixed(slot::kKeysClear) == 1.0) {
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
