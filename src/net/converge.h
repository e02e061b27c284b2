// The send thread's part in keeping the two cockpits the same. Toward any
// peer a held value that a knob moved too slowly for the per-poll rule is
// sent once it rests away from the value last agreed. Toward a peer that
// speaks the extension, every shared change also goes as a stamped value on
// the reliable channel (the peer settles a disagreement by it, and it cannot
// be lost as a datagram can), and the pass sends the clock samples, a hello
// when a sync switch moves, and bulks of stamped values: the exchange the
// hellos ask for, the displays or the weather when both sides' switches are
// newly on, and the flight controls when this side starts to fly. A bulk goes
// a chunk at a time, each while the reliable channel has delivered
// everything before it (or has yielded kYieldAtMostMs), so that a pilot's
// change waits behind one chunk at most. At rest nothing is sent but a clock sample every
// kClockPeriodMs and a digest of the shared values every kDigestPeriodMs (net/table_digest.h),
// which yields as a chunk does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/lvar_entry.h"
#include "net/role_loop.h"

// A variable unmoved this long is at rest and its final value is sent.
inline constexpr std::int64_t kRestMs = 100;
// A value from the peer does not overwrite a local move younger than this.
inline constexpr std::int64_t kFreshMoveMs = 1000;
inline constexpr std::int64_t kClockPeriodMs = 5000;
// Six kilobytes: a fifth of a second of a 256 kbit/s uplink.
inline constexpr std::size_t kBulkRecordsPerPass = 256;
// The longest a bulk's next chunk or a digest yields to undelivered records.
inline constexpr std::int64_t kYieldAtMostMs = 500;

// Which entries a bulk carries.
enum class BulkPick : std::uint8_t { kOffered, kDisplay, kWeather, kFlightControls };

struct Bulk {
  BulkPick pick = BulkPick::kOffered;
  // The exchange after the hellos: a value that came about before it was
  // asked for is marked as the exchange's (net/extension_records.h); one
  // changed since, while the chunks were on their way, is judged by its stamp.
  bool exchange = false;
  std::int64_t askedMs = 0;
  std::uint32_t next = 0;  // the table position the next chunk starts from
};

// What the send thread remembers between passes. Send thread only.
struct ConvergeState {
  std::uint32_t seenGeneration = 0;
  std::uint8_t seenPeerKind = 0;
  bool flew = false;
  bool displayShared = false;
  bool weatherShared = false;
  bool displayHere = false;
  bool weatherHere = false;
  std::int64_t nextClockMs = 0;
  std::int64_t nextDigestMs = 0;
  std::uint32_t seenExchanges = 0;
  std::vector<Bulk> bulks;
  // Since when the next chunk or digest has been yielding.
  std::optional<std::int64_t> yieldingSinceMs;
};

// A poll saw the local cockpit move the variable.
void NoteMotion(LVarEntry& e, std::int64_t nowMs);
// Whether the value has left the one last agreed with the peer: by more than
// the change threshold, or at all once the variable is at rest.
bool Drifted(LVarEntry& e, std::int64_t nowMs);
// A rule sent entry `i`'s value: it is now agreed, and a peer that speaks the
// extension gets it stamped too when the owner rule shares the entry.
void NoteSent(const RoleOutput& output, LVarEntry& e, std::uint32_t i, float value);
// Whether a differing value from the peer must not overwrite `e`: a local
// move too fresh.
bool KeepsLocalValue(const LVarEntry& e, std::int64_t nowMs);

// The part of a send pass after the table scan.
void ConvergePass(const RoleOutput& output, ConvergeState& state, std::int64_t nowMs);
