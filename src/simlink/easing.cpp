#include "simlink/easing.h"

#include <algorithm>
#include <cmath>

#include "common/module_state.h"
#include "simlink/close_follow.h"
#include "simlink/eased_values.h"
#include "simlink/sim_data.h"

namespace {
constexpr double kMinPositionDivisor = 45.0;
constexpr double kMaxPositionDivisor = 55.0;

// The received position weighs 89 parts to the eased one's 1, so that the
// aircraft stays on the simulator's own track and only drifts toward the peer.
double BlendPosition(double eased, double received) { return (eased + 89.0 * received) / 90.0; }

void ResetRecord(SharedState& state, const EasedValue& source) {
  SmoothedValue& record = state.*source.record;
  const double own = Load((*state.aircraft).*source.source);
  record.current = own;
  Store(record.target, own);
  record.divisor = source.resetDivisor;
}
}  // namespace

SmoothedValue& SmoothStep(SmoothedValue& record) {
  return SmoothStepToward(record, Load(record.target));
}

SmoothedValue& SmoothStepToward(SmoothedValue& record, double target) {
  record.current += (target - record.current) / record.divisor;
  return record;
}

double ShortestTurn(double from, double to) {
  return std::fmod(std::fmod(to - from, 360.0) + 540.0, 360.0) - 180.0;
}

SmoothedValue& SmoothAngleStep(SmoothedValue& record) {
  return SmoothAngleStepToward(record, Load(record.target));
}

SmoothedValue& SmoothAngleStepToward(SmoothedValue& record, double target) {
  record.current += ShortestTurn(record.current, target) / record.divisor;
  if (record.current < 0.0) record.current += 360.0;
  if (record.current > 360.0) record.current -= 360.0;
  return record;
}

double PositionDivisor(double latitude, double longitude) {
  const double g = 25.0 / latitude * 50.0;
  const double h = 25.0 / longitude * 50.0;
  // A position that is not a number must not become a divisor that is not
  // one: it would poison current and reach the simulation.
  if (std::isnan(g) || std::isnan(h)) return kMaxPositionDivisor;
  return std::clamp(std::fabs(std::min(g, h)), kMinPositionDivisor, kMaxPositionDivisor);
}

void ResetUnusableDivisors(SharedState& state) {
  for (const EasedValue& source : kEasedValues) {
    const SmoothedValue& record = state.*source.record;
    if (record.divisor == 0.0 || !std::isfinite(record.divisor) || !std::isfinite(record.current)) {
      ResetRecord(state, source);
    }
  }
}

void EaseAircraft(SharedState& state) {
  const AircraftState& aircraft = *state.aircraft;
  ResetUnusableDivisors(state);
  // Without the option, each value eases toward its received target.
  EasedTargets targets;
  if (Load(roleSetup.closeFollow)) {
    FollowTrack& track = simThread.followTrack;
    targets = ProjectTargets(state, track, FollowClockNs(track));
  } else {
    for (std::size_t i = 0; i < kEasedValues.size(); ++i) {
      targets[i] = Load((state.*kEasedValues[i].record).target);
    }
  }
  for (std::size_t i = 0; i < kEasedValues.size(); ++i) {
    const EasedValue& value = kEasedValues[i];
    SmoothedValue& record = state.*value.record;
    switch (value.step) {
      case EaseStep::kLinear:
        SetSimValueFrom(&SmoothStepToward(record, targets[i]), value.definition);
        break;
      case EaseStep::kAngle:
        SetSimValueFrom(&SmoothAngleStepToward(record, targets[i]), value.definition);
        break;
      case EaseStep::kPosition:
        SetSimValue(value.definition, BlendPosition(SmoothStepToward(record, targets[i]).current,
                                                    Load(aircraft.*value.source)));
        break;
      case EaseStep::kNone:
        break;
    }
  }

  const double divisor =
      PositionDivisor(Load(aircraft.planeLatitude), Load(aircraft.planeLongitude));
  state.latitude.divisor = divisor;
  state.longitude.divisor = divisor;
  state.heading.divisor = divisor;
}

void ResetSmoothedValues(SharedState& state) {
  for (const EasedValue& source : kEasedValues) ResetRecord(state, source);
}
