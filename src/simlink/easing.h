// Easing of the following aircraft toward the peer's state, one step per
// simulation frame.
#pragma once

#include "common/shared_state.h"

// Moves current by (target - current) / divisor.
SmoothedValue& SmoothStep(SmoothedValue& record);
// The same toward another target than the record's.
SmoothedValue& SmoothStepToward(SmoothedValue& record, double target);
// The same for an angle in degrees: along the shorter way round, with the
// result kept within 0 to 360.
SmoothedValue& SmoothAngleStep(SmoothedValue& record);
SmoothedValue& SmoothAngleStepToward(SmoothedValue& record, double target);
// The signed shortest turn from `from` to `to` in degrees, from -180 up to but
// not including +180.
double ShortestTurn(double from, double to);
// The divisor of latitude, longitude and heading after a step: slower easing
// near the equator and the prime meridian, always within 45 to 55.
double PositionDivisor(double latitude, double longitude);

// A record whose divisor is 0 or not finite (the first frame after the
// shared state was made, before any reset) or whose current value is not
// finite is reset as ResetSmoothedValues does it, so that a step never
// yields a value that is not a number.
void ResetUnusableDivisors(SharedState& state);
// One easing step of every applied record (after ResetUnusableDivisors),
// each written to the simulation at once, then the new position divisor.
// Each steps toward its received target, or with the option "close follow"
// toward the target projected to now (simlink/close_follow.h).
void EaseAircraft(SharedState& state);
// Makes every record's current and target the local aircraft's own value and
// restores its reset divisor; writes nothing to the simulation.
void ResetSmoothedValues(SharedState& state);
