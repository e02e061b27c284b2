// Close follow (SharedConfig.cfg's option "close follow"): the following
// aircraft eases toward where the flying one is now, not toward where it was
// when its state was taken.
//
// The easing law moves each value 1/D of the way to its target each frame,
// so against a target that moves it trails by D - 1 frames (0.72 s of flight
// at D = 45 and 60 frames a second), and the received state was taken a
// little before it is eased toward (the record's age). Each value's target
// is therefore its received value carried forward over the record's age to
// now, plus its rate times the law's lag, (D - 1) frames: the law, stepping
// toward that, lands on the flying aircraft's value now. The rates are the
// record's own where it carries them: the body velocities (turned along the
// heading and its rate) for the position, the vertical speed for the
// altitude, the body accelerations for the body velocities; for the heading,
// pitch, bank and vertical speed, the rate at which the plain law moves the
// value (its own run of the law toward the received value, at the law's own
// divisor), which is as smooth as the law makes the value itself. The body
// accelerations and the elevator trim keep their received value (the record
// carries no rate of theirs; trim's divisor 1 has no lag).
//
// The record's age: from the flying side's frame to its arrival here half a
// send pause and half a receive pause on average, then the time since it
// arrived, known to the frame (the newest state is taken to have come half
// a frame before the frame that first sees it). While no new state comes,
// the age grows, so the projection flies on along the last rates, for at
// most kMaxAgeSeconds.
//
// Jumps: a value whose plain run would move faster than any aircraft turns,
// rolls or pitches starts its run again at the received value, and a
// projected position far from the last frame's (a teleport) starts every
// run again; the law then eases toward the new place as without the option.
#pragma once

#include <array>
#include <cstdint>

#include "common/follow_track.h"
#include "common/shared_state.h"
#include "simlink/eased_values.h"

inline constexpr double kMaxAgeSeconds = 1.0;
// Half the flying side's 5 ms send pause and half this side's 2 ms receive
// pause: how long a new state waits on average on its way here.
inline constexpr double kRecordWaitSeconds = 0.0025 + 0.001;

// One target per eased value, in kEasedValues' order.
using EasedTargets = std::array<double, kEasedValueCount>;

// The track's clock, or the steady clock, in nanoseconds.
std::int64_t FollowClockNs(const FollowTrack& track);

// One following frame at `nowNs`, after ResetUnusableDivisors: notes the
// frame and the received values (the records' targets), steps each value's
// plain run, and returns the targets to ease toward. Nothing is written to
// the simulation.
EasedTargets ProjectTargets(const SharedState& state, FollowTrack& track, std::int64_t nowNs);

// One flying frame, after ResetSmoothedValues: the local aircraft's values
// (now the targets) are tracked as a stream would be, so that when a swap
// makes this side follow, the rates are already known.
void TrackOwnAircraft(const SharedState& state, FollowTrack& track, std::int64_t nowNs);
