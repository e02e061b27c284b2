#include "simlink/sim_data.h"

#include "common/low_word.h"
#include "common/module_state.h"
#include "simlink/definitions.h"

namespace {
SimConnectResult SetData(SimConnectDword defineId, double* value) {
  return SimConnect_SetDataOnSimObject(simThread.simConnect, defineId, simconnect::kObjectIdUser, 0,
                                       0, sizeof(double), value);
}
}  // namespace

SimConnectResult SetSimValueFrom(SmoothedValue* record, SimConnectDword defineId) {
  return SetData(defineId, &record->current);
}

SimConnectResult SetSimValue(SimConnectDword defineId, double value) {
  simThread.setDataScratch = value;
  return SetData(defineId, &simThread.setDataScratch);
}

SimConnectResult TransmitTiller(double value) {
  return SimConnect_TransmitClientEvent(
      simThread.simConnect, simconnect::kObjectIdUser, client_event::kTiller, LowWord(value),
      simconnect::kGroupPriorityStandard, simconnect::kEventFlagGroupIdIsPriority);
}
