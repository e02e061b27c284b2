// Writes of single simulation values and the one client event the module
// transmits. Results are handed back, never stored.
#pragma once

#include "common/shared_state.h"
#include "common/simconnect_api.h"

// Writes the record's current value to a one-entry definition.
SimConnectResult SetSimValueFrom(SmoothedValue* record, SimConnectDword defineId);
// Writes a computed value to a one-entry definition through setDataScratch.
SimConnectResult SetSimValue(SimConnectDword defineId, double value);
// Transmits the tiller's position to the user aircraft with the value
// truncated to its low 32 bits.
SimConnectResult TransmitTiller(double value);
