// The "MultiShared" gauge: the module's per-frame clock and its shutdown
// handshake with the role threads.
#pragma once

#include <cstdint>

#include "module/module_records.h"

void MS_STDCALL GaugeCallback(GaugeHeader* gauge, std::int32_t service, std::uint32_t extra);

// Asks the role threads to stop and waits until the send thread reports that
// it has finished.
void RunShutdownHandshake();

extern GaugeHeader multiSharedGauge;
