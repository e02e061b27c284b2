// What the loops' pauses cost by themselves on this machine: two threads that
// do nothing but sleep the module's two pauses.
#pragma once

#include <nlohmann/json.hpp>

namespace e2e_bench {

// Percent of one core of each thread over `seconds`, run side by side as the
// module's loops run.
nlohmann::json MeasureSleepFloor(double seconds);

}  // namespace e2e_bench
