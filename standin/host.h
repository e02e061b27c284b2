// simhost's simulator: loads a module library, drives its gauge frame by frame
// at real-time pace and runs the script's commands when they are due.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/simconnect_api.h"
#include "script.h"

namespace standin {

struct HostOptions {
  std::string modulePath;
  std::int64_t startNs = 0;  // MonotonicNs() at which script time 0 falls
  double rateHz = 60.0;
  double durationSeconds = 10.0;
  // Named variables made known before the module loads, as the aircraft's
  // own gauges do: they take identifiers from 0, in this order.
  std::vector<std::string> aircraftVariables;
  // Non-zero: the module's SimConnect open fails with this result.
  SimConnectResult failOpen = 0;
};

// Runs the module from load to unload. Returns the process exit code: 0 after
// a normal end, 1 when the module cannot be loaded (with a message on stderr).
int RunHost(const HostOptions& options, const std::vector<ScriptCommand>& script);

}  // namespace standin
