#include "simlink/close_follow.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <tuple>

#include "common/module_state.h"
#include "simlink/easing.h"

namespace {

using Plane = std::complex<double>;  // feet: north real, east imaginary

static_assert(std::tuple_size_v<decltype(FollowTrack::seen)> == kEasedValueCount,
              "the track sees every eased value");

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
// A minute of arc is a nautical mile (1852 m): 364,567 feet a degree.
constexpr double kFeetPerDegree = 1852.0 * 60.0 / 0.3048;
// Beyond about 89.4 degrees of latitude a degree of longitude is taken as
// this short, so that the division stays finite.
constexpr double kLeastLongitudeScale = 0.01;

constexpr double kDefaultFrameSeconds = 1.0 / 60.0;
constexpr double kLongestFrameSeconds = 0.25;  // longer: a pause, not a frame
constexpr double kFrameDivisor = 10.0;
constexpr double kTeleportFeet = 1000.0;
// Faster than these, a received value jumped: degrees a second, and feet a
// second per second for the vertical speed.
constexpr double kMostHeadingRate = 60.0;
constexpr double kMostPitchRate = 45.0;
constexpr double kMostBankRate = 90.0;
constexpr double kMostVerticalAcceleration = 200.0;

std::size_t IndexOf(SmoothedValue SharedState::*record) {
  std::size_t i = 0;
  while (i + 1 < kEasedValues.size() && kEasedValues[i].record != record) ++i;
  return i;
}

// Each eased value's place in kEasedValues (a constant table, so these are
// set before any frame).
const std::size_t kLatitude = IndexOf(&SharedState::latitude);
const std::size_t kLongitude = IndexOf(&SharedState::longitude);
const std::size_t kHeading = IndexOf(&SharedState::heading);
const std::size_t kPitch = IndexOf(&SharedState::pitch);
const std::size_t kBank = IndexOf(&SharedState::bank);
const std::size_t kAltitude = IndexOf(&SharedState::altitude);
const std::size_t kVerticalSpeed = IndexOf(&SharedState::verticalSpeed);
const std::size_t kVelocityZ = IndexOf(&SharedState::velocityBodyZ);
const std::size_t kVelocityX = IndexOf(&SharedState::velocityBodyX);
const std::size_t kVelocityY = IndexOf(&SharedState::velocityBodyY);
const std::size_t kAccelZ = IndexOf(&SharedState::accelBodyZ);
const std::size_t kAccelX = IndexOf(&SharedState::accelBodyX);
const std::size_t kAccelY = IndexOf(&SharedState::accelBodyY);

double Wrap360(double degrees) {
  const double wrapped = std::fmod(degrees, 360.0);
  return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}

struct Frame {
  double seconds;    // the frame time, smoothed
  double sinceLast;  // since the last frame; 0 when unknown
};

Frame NoteFrame(FollowTrack& track, std::int64_t nowNs) {
  double sinceLast = 0.0;
  if (track.started && nowNs > track.lastFrameNs) {
    sinceLast = static_cast<double>(nowNs - track.lastFrameNs) * 1e-9;
    if (sinceLast <= kLongestFrameSeconds) {
      track.frameSeconds =
          track.frameSeconds > 0.0
              ? track.frameSeconds + (sinceLast - track.frameSeconds) / kFrameDivisor
              : sinceLast;
    }
  }
  track.lastFrameNs = nowNs;
  return {track.frameSeconds > 0.0 ? track.frameSeconds : kDefaultFrameSeconds, sinceLast};
}

// Feet flown in `t` seconds at speed `speed`, gaining `along` feet a second
// each second, from track `track` (radians) turning at `turn` radians a
// second: the integral of (speed + along u) e^(i (track + turn u)) over u.
Plane Flown(double speed, double along, double track, double turn, double t) {
  const Plane start = std::polar(1.0, track);
  const double w = turn;
  if (std::fabs(w * t) < 1e-3) {
    // e^(i w u) to its second order; what is left is under 1e-9 of the way.
    const Plane i(0.0, 1.0);
    return start *
           (speed * t + along * t * t / 2 + i * w * (speed * t * t / 2 + along * t * t * t / 3) -
            w * w / 2 * (speed * t * t * t / 3 + along * t * t * t * t / 4));
  }
  const Plane iw(0.0, w);
  const Plane end = std::polar(1.0, w * t);
  return start *
         (speed * (end - 1.0) / iw + along * (end * (t / iw + 1.0 / (w * w)) - 1.0 / (w * w)));
}

// The flying aircraft's ground speed, its acceleration along its track and
// its track in radians, from the body velocities and accelerations and the
// heading: the horizontal part of the speed is what the vertical speed
// leaves, the track the heading turned by the sideways drift.
struct Track {
  double speed;
  double along;
  double radians;
};

Track TrackOf(const EasedTargets& received) {
  const double vz = received[kVelocityZ];
  const double vx = received[kVelocityX];
  const double vy = received[kVelocityY];
  const double vs = received[kVerticalSpeed];
  const double level = std::hypot(vz, vx);
  const double along =
      level > 0.0 ? (vz * received[kAccelZ] + vx * received[kAccelX]) / level : 0.0;
  return {std::sqrt(std::max(0.0, vz * vz + vx * vx + vy * vy - vs * vs)), along,
          received[kHeading] * kRadiansPerDegree + std::atan2(vx, vz)};
}

double LongitudeScale(double latitude) {
  return std::max(std::cos(latitude * kRadiansPerDegree), kLeastLongitudeScale);
}

// The flying aircraft's position `age` seconds after its record, degrees.
struct Position {
  double latitude;
  double longitude;
};
Position Carried(const EasedTargets& received, const Track& track, double turn, double age) {
  const Plane flown = Flown(track.speed, track.along, track.radians, turn, age);
  return {
      received[kLatitude] + flown.real() / kFeetPerDegree,
      received[kLongitude] + flown.imag() / (kFeetPerDegree * LongitudeScale(received[kLatitude]))};
}

void Restart(PlainRun& run, double received) {
  run.value = received;
  run.rate = 0.0;
}

void RestartRuns(FollowTrack& track, const EasedTargets& received) {
  Restart(track.heading, received[kHeading]);
  Restart(track.pitch, received[kPitch]);
  Restart(track.bank, received[kBank]);
  Restart(track.verticalSpeed, received[kVerticalSpeed]);
}

// One frame of a plain run, `sinceSeen` seconds after the frame that saw the
// newest state; its rate is taken when that frame is this one. A rate above
// `most` is a jump of the received value: the run starts again there.
void StepRun(PlainRun& run, double received, double divisor, bool angle, const Frame& frame,
             double sinceSeen, double most) {
  if (!std::isfinite(run.value) || !std::isfinite(run.rate)) Restart(run, received);
  const double toward = received + run.rate * sinceSeen;
  const double step = (angle ? ShortestTurn(run.value, toward) : toward - run.value) / divisor;
  if (std::fabs(step / frame.seconds) > most) {
    Restart(run, received);
    return;
  }
  if (sinceSeen == 0.0) run.rate = step / frame.seconds;
  run.value = angle ? Wrap360(run.value + step) : run.value + step;
}

}  // namespace

std::int64_t FollowClockNs(const FollowTrack& track) {
  if (track.clock != nullptr) return track.clock();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

EasedTargets ProjectTargets(const SharedState& state, FollowTrack& track, std::int64_t nowNs) {
  EasedTargets received;
  for (std::size_t i = 0; i < kEasedValues.size(); ++i) {
    received[i] = Load((state.*kEasedValues[i].record).target);
  }
  const Frame frame = NoteFrame(track, nowNs);
  if (!track.started) {
    track.started = true;
    track.seen = received;
    track.seenFrameNs = nowNs;
    track.receivedNs = nowNs;
    track.nowLatitude = received[kLatitude];
    track.nowLongitude = received[kLongitude];
    RestartRuns(track, received);
  } else if (received != track.seen) {
    // The newest state came between the last frame and this one.
    const double wait =
        frame.sinceLast > 0.0 ? std::min(frame.sinceLast, frame.seconds) : frame.seconds;
    track.seen = received;
    track.seenFrameNs = nowNs;
    track.receivedNs = nowNs - static_cast<std::int64_t>(wait / 2 * 1e9);
  }
  const double age =
      std::clamp(static_cast<double>(nowNs - track.receivedNs) * 1e-9 + kRecordWaitSeconds, 0.0,
                 kMaxAgeSeconds);
  const double sinceSeen =
      std::min(static_cast<double>(nowNs - track.seenFrameNs) * 1e-9, kMaxAgeSeconds);

  // A position now far from the last frame's is a teleport: every run starts
  // again, and the law eases there as it does without the option.
  const Track flight = TrackOf(received);
  Position now = Carried(received, flight, track.heading.rate * kRadiansPerDegree, age);
  const double moved = std::hypot(
      (now.latitude - track.nowLatitude) * kFeetPerDegree,
      (now.longitude - track.nowLongitude) * kFeetPerDegree * LongitudeScale(received[kLatitude]));
  if (!(moved <= kTeleportFeet + flight.speed * frame.sinceLast)) RestartRuns(track, received);

  StepRun(track.heading, received[kHeading], state.heading.divisor, true, frame, sinceSeen,
          kMostHeadingRate);
  StepRun(track.pitch, received[kPitch], state.pitch.divisor, false, frame, sinceSeen,
          kMostPitchRate);
  StepRun(track.bank, received[kBank], state.bank.divisor, false, frame, sinceSeen, kMostBankRate);
  StepRun(track.verticalSpeed, received[kVerticalSpeed], state.verticalSpeed.divisor, false, frame,
          sinceSeen, kMostVerticalAcceleration);

  // The law's lag of each value: D - 1 frames.
  const auto lag = [&](const SmoothedValue& record) {
    return (record.divisor - 1.0) * frame.seconds;
  };
  // The rates at the middle of the law's next step, half a frame before now.
  const double middle = age - frame.seconds / 2;

  EasedTargets targets = received;
  const double turn = track.heading.rate * kRadiansPerDegree;
  now = Carried(received, flight, turn, age);
  track.nowLatitude = now.latitude;
  track.nowLongitude = now.longitude;
  const Plane velocity =
      std::polar(flight.speed + flight.along * middle, flight.radians + turn * middle);
  targets[kLatitude] = now.latitude + lag(state.latitude) * velocity.real() / kFeetPerDegree;
  targets[kLongitude] = now.longitude + lag(state.longitude) * velocity.imag() /
                                            (kFeetPerDegree * LongitudeScale(received[kLatitude]));

  const double verticalSpeed = received[kVerticalSpeed];
  const double climbing = track.verticalSpeed.rate;
  targets[kAltitude] = received[kAltitude] + verticalSpeed * age + climbing * age * age / 2 +
                       lag(state.altitude) * (verticalSpeed + climbing * middle);

  targets[kHeading] = Wrap360(received[kHeading] + track.heading.rate * (age + lag(state.heading)));
  targets[kPitch] = received[kPitch] + track.pitch.rate * (age + lag(state.pitch));
  targets[kBank] = received[kBank] + track.bank.rate * (age + lag(state.bank));
  targets[kVerticalSpeed] = verticalSpeed + climbing * (age + lag(state.verticalSpeed));
  targets[kVelocityZ] = received[kVelocityZ] + received[kAccelZ] * (age + lag(state.velocityBodyZ));
  targets[kVelocityX] = received[kVelocityX] + received[kAccelX] * (age + lag(state.velocityBodyX));
  targets[kVelocityY] = received[kVelocityY] + received[kAccelY] * (age + lag(state.velocityBodyY));

  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (!std::isfinite(targets[i])) targets[i] = received[i];
  }
  return targets;
}

void TrackOwnAircraft(const SharedState& state, FollowTrack& track, std::int64_t nowNs) {
  ProjectTargets(state, track, nowNs);
}
