// How the SimConnect connection fails or ends, and what the module does then: a
// failed open and the simulator's quit stop every SimConnect call, exception
// messages are named in the log. Pilots see only the log, so each is there.
#pragma once

#include "common/simconnect_api.h"

// After the open: a failed one is logged with its result, and no SimConnect
// call follows. Simulator thread (module start).
void NoteSimConnectOpen(SimConnectResult result);
// Whether SimConnect may be called: the open succeeded and neither the
// simulator's quit nor the module's close has ended the connection. Any thread.
bool SimConnectLive();
// The quit message: logged, and the handle is never called again, not even
// to close it.
void NoteSimConnectQuit();
// The module closes the connection itself (module stop).
void NoteSimConnectClosed();
// Logs the exception: one line each for the first kExceptionLinesPerMinute
// of a minute; the rest are counted and summed up in one line when the next
// minute's first exception comes, or at module stop. Simulator thread.
void NoteSimConnectException(const SimConnectRecvException& exception);
// Writes the summary of exceptions not yet logged, if any.
void FlushSimConnectExceptions();

inline constexpr int kExceptionLinesPerMinute = 10;
