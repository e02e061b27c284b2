// The module as the receiving fuzz targets drive it: started once per process
// on the stand-in simulator, with no usable documents folder (log lines are
// dropped at no cost) and a shared table of one entry per category whose
// records are applied without waiting for the cockpit.
#pragma once

#include <cstddef>

// Brings the module up on the first call; later calls do nothing.
void StartFuzzModule();

// After each input: traps when the input left a value that is not finite
// where the simulator or the cockpit would read it, and every so many inputs
// drops what the stand-in recorded, so that a long run stays small.
void CheckAfterInput();
