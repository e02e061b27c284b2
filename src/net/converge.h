// Brings the two cockpits back to the same values when a change went missing:
// a late start, a dropped link, lost datagrams or a knob turned too slowly
// for the per-poll rule. The side that flies is the one authority: it sends
// its whole cockpit on every new reliable connection and refreshes it once a
// second; every side repeats its own recent changes a few times, and the side
// that follows repeats its own changes once a second until that refresh shows
// them back, so that a change made while the link was down is not lost. Momentary
// and push buttons are never restored, and an FCUh value travels only right
// after its FCU value.
#pragma once

#include <cstdint>
#include <vector>

#include "common/lvar_entry.h"
#include "net/role_loop.h"

inline constexpr std::int64_t kRefreshPeriodMs = 1000;
// Repeats of a change go this long after it, then twice as long after that.
inline constexpr std::int64_t kFirstRepeatMs = 50;
inline constexpr int kRepeats = 4;
// A variable unmoved this long is at rest and its final value is sent.
inline constexpr std::int64_t kRestMs = 100;
// A value from the peer does not overwrite a local move younger than this.
inline constexpr std::int64_t kFreshMoveMs = 1000;
// 1200 bytes a datagram: below the usual path MTU, so never fragmented.
inline constexpr std::size_t kRecordsPerDatagram = 50;

struct ConvergeState {
  // The host tells the guest who flies on every new connection, so that a
  // swap lost while the link was down cannot leave both flying (and both
  // refreshing, trading values back and forth) or both following.
  bool tellsWhoFlies = false;
  std::uint32_t seenGeneration = 0;
  std::int64_t nextRefreshMs = kNeverMs;
  std::vector<std::uint8_t> packet;
};

// The side that flies sends snapshots and refreshes.
bool Authoritative();

// A poll saw the local cockpit move the variable.
void NoteMotion(LVarEntry& e, std::int64_t nowMs);
// Whether the value has left the one last agreed with the peer: by more than
// the change threshold, or at all once the variable is at rest.
bool Drifted(LVarEntry& e, std::int64_t nowMs);
// A rule sent `e`'s value: it is now agreed, and a datagram change is
// repeated; on the side that follows it waits for the peer to show it back.
void NoteSent(LVarEntry& e, float value, std::int64_t nowMs, bool repeat);
// Whether a differing value from the peer must not overwrite `e`: a local
// move too fresh, or, on the side that follows, a change of its own that the
// peer has not shown back yet.
bool KeepsLocalValue(const LVarEntry& e, std::int64_t nowMs);

// The part of a send pass after the table scan: the snapshot when a new
// connection came up, the repeats that are due, the refresh when due.
void ConvergePass(const RoleOutput& output, ConvergeState& state, std::int64_t nowMs);
