// What the close follow keeps between frames about the state it projects
// (simlink/close_follow.h). The simulator thread's alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A value's own run of the plain easing law toward the received value: its
// step in the frame that sees a new state, per second, is the rate at which
// the law moves the value. Until the next state comes, the run eases toward
// the received value carried forward at that rate.
struct PlainRun {
  double value = 0.0;
  double rate = 0.0;  // units per second
};

struct FollowTrack {
  // Nanoseconds of a steady clock; tests and the benchmark's offline easing
  // set their own, the module leaves it null (std::chrono::steady_clock).
  using Clock = std::int64_t (*)();
  Clock clock = nullptr;

  bool started = false;
  std::int64_t lastFrameNs = 0;
  double frameSeconds = 0.0;  // smoothed; 0 while unknown
  // The received values as the last frame saw them, in kEasedValues' order;
  // the frame that first saw them, and when they arrived (estimated).
  std::array<double, 15> seen{};
  std::int64_t seenFrameNs = 0;
  std::int64_t receivedNs = 0;
  // The flying aircraft's position now, as the last frame projected it, in
  // degrees: a new one far from it is a teleport.
  double nowLatitude = 0.0;
  double nowLongitude = 0.0;
  PlainRun heading, pitch, bank, verticalSpeed;
};
