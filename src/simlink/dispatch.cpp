#include "simlink/dispatch.h"

void MS_STDCALL SimConnectDispatch(SimConnectRecv*, SimConnectDword, void*) {}
