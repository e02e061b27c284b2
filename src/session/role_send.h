// Sends one reliable record through whichever role object runs, holding the
// role guard so that the send thread cannot delete the object meanwhile.
// Used from the simulator thread (key-event relay).
#pragma once

#include <cstdint>

// Returns false when no role object exists.
bool SendReliableThroughRole(std::int32_t kind, double index, double value, double extra);
