// The fifteen values the follower eases toward its peer's aircraft.
#pragma once

#include <array>
#include <cstddef>

#include "common/shared_state.h"
#include "common/simconnect_api.h"
#include "net/wire_records.h"

enum class EaseStep {
  kLinear,    // SmoothStep, the record's current value is written
  kAngle,     // SmoothAngleStep, the record's current value is written
  kPosition,  // SmoothStep, then blended with the simulator's own position
  kNone,      // travels and resets, never eased
};

// One eased value: the easing record, the field of the local aircraft it is
// read from (for a state record and at a reset), its field in the state
// record, how it is eased and to which one-entry definition it is written,
// and the divisor a reset gives it.
struct EasedValue {
  SmoothedValue SharedState::*record;
  AtomicDouble AircraftState::*source;
  double AircraftStateRecord::*wire;
  EaseStep step;
  SimConnectDword definition;
  double resetDivisor;
};

inline constexpr std::size_t kEasedValueCount = 15;
// In the order the follower eases them; airspeed, never eased, comes last.
extern const std::array<EasedValue, kEasedValueCount> kEasedValues;
