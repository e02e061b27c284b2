#include "simlink/sim_data.h"

#include <cmath>
#include <cstdint>

#include "module/globals.h"
#include "simlink/definitions.h"

namespace {
SimConnectResult SetData(SimConnectDword defineId, double* value) {
  return SimConnect_SetDataOnSimObject(simConnect, defineId, simconnect::kObjectIdUser, 0, 0,
                                       sizeof(double), value);
}

// Truncates toward zero to 64 bits and keeps the low 32. Values that have no
// 64-bit integer (not a number, out of range) would be undefined to convert,
// so they send 0.
SimConnectDword LowWordOfTruncated(double value) {
  constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
  if (!(std::fabs(value) < kInt64Limit)) return 0;
  return static_cast<SimConnectDword>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}
}  // namespace

SimConnectResult SetSimValueFrom(SmoothedValue* record, SimConnectDword defineId) {
  return SetData(defineId, &record->current);
}

SimConnectResult SetSimValue(SimConnectDword defineId, double value) {
  setDataScratch = value;
  return SetData(defineId, &setDataScratch);
}

SimConnectResult TransmitEvent56(double value) {
  return SimConnect_TransmitClientEvent(
      simConnect, simconnect::kObjectIdUser, client_event::kTiller, LowWordOfTruncated(value),
      simconnect::kGroupPriorityStandard, simconnect::kEventFlagGroupIdIsPriority);
}
