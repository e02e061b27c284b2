// How far the following aircraft trails the flying one: the distance at the
// same moment and the time since the flying one was where the follower is.
// Also the follower that the easing alone makes of the flying one's trace,
// with the state handed over each frame without network or loops.
#pragma once

#include <cstdint>
#include <vector>

#include "demo_monitor_trace.h"

namespace e2e_bench {

struct AircraftSample {
  std::int64_t monoNs = 0;
  trace::Aircraft aircraft;
};

struct LagSeries {
  std::vector<double> seconds;   // since `originNs`
  std::vector<double> distance;  // metres
  std::vector<double> timeLag;   // seconds
  // Follower minus leader at the same moment: degrees (the heading the
  // shorter way round) and feet.
  std::vector<double> heading, pitch, bank, altitude;
};

// a - b in degrees, the shorter way round: from -180 to 180.
double AngleDifference(double a, double b);

// The follower's samples within [fromNs, toNs] against the leader's.
LagSeries MeasureLag(const std::vector<AircraftSample>& leader,
                     const std::vector<AircraftSample>& follower, std::int64_t fromNs,
                     std::int64_t toNs, std::int64_t originNs);

// Runs the module in this process on the stand-in simulator as a following
// instance, and each frame hands it the leader's sample of that frame through
// its own receive path (the aircraft-state datagram) before the simulator
// delivers its data and moves the aircraft, as simhost does. The stand-in's
// aircraft starts where simhost's does; with `closeFollow` the module has
// that option, and its frame clock is the leader's. Returns the follower's
// samples, on the leader's clock.
std::vector<AircraftSample> EaseOffline(const std::vector<AircraftSample>& leader,
                                        bool closeFollow = false);

}  // namespace e2e_bench
