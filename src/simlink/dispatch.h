// The SimConnect connection: data definitions, the aircraft-state request,
// easing of the following aircraft and the client events.
#pragma once

#include "common/simconnect_api.h"

void MS_STDCALL SimConnectDispatch(SimConnectRecv* message, SimConnectDword size, void* context);
