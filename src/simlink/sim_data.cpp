#include "simlink/sim_data.h"

#include "module/globals.h"
#include "module/low_word.h"
#include "simlink/definitions.h"

namespace {
SimConnectResult SetData(SimConnectDword defineId, double* value) {
  return SimConnect_SetDataOnSimObject(simConnect, defineId, simconnect::kObjectIdUser, 0, 0,
                                       sizeof(double), value);
}
}  // namespace

SimConnectResult SetSimValueFrom(SmoothedValue* record, SimConnectDword defineId) {
  return SetData(defineId, &record->current);
}

SimConnectResult SetSimValue(SimConnectDword defineId, double value) {
  setDataScratch = value;
  return SetData(defineId, &setDataScratch);
}

SimConnectResult TransmitTiller(double value) {
  return SimConnect_TransmitClientEvent(
      simConnect, simconnect::kObjectIdUser, client_event::kTiller, LowWord(value),
      simconnect::kGroupPriorityStandard, simconnect::kEventFlagGroupIdIsPriority);
}
