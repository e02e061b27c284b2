// Operations on one entry of the shared named-variable table, used by the
// table poll on the simulator thread and by the role loops on theirs.
#pragma once

#include <cstdint>
#include <optional>

#include "common/lvar_entry.h"

// Looks the entry's name up while it is unresolved: makes the name known to
// the simulator, then finds its id. A name the simulator does not know yet is
// looked up again at the next use. Returns the id once it is known.
std::optional<std::uint32_t> ResolveEntry(LVarEntry& entry);

struct PollResult {
  bool changed = false;  // a change worth sending (see EntryChanged)
  bool moved = false;    // the cockpit moved the variable at all
};

// Reads the entry's variable, narrowed to a float, into value and keeps the
// old value as previous. An entry whose name does not resolve keeps both.
// Says what this poll saw, decided under the entry's guard: read after it,
// value and previous could be one applied value and one polled value, an
// applied value taken for a local move and sent back.
PollResult PollEntry(LVarEntry& entry);

// Whether the entry's latest poll saw a change worth sending: the
// single-precision difference of value and previous is above 0.2. Reads the
// pair under the entry's guard, so never half of a write.
bool EntryChanged(LVarEntry& entry);

// What the cockpit holds now, read afresh (the last poll may be a pass old);
// the last polled value while the name does not resolve.
float ReadLiveValue(LVarEntry& entry);

// The one way a value reaches an entry's named variable: resolve, write (when
// the name resolved), and set value and previous alike so that the next poll
// sees no change.
void SetLVar(LVarEntry& entry, float value);
// SetLVar for a value applied from the peer, which is then also the value
// both sides agree on. Stored under the same guard as the write: a send pass
// that saw the new value beside the old agreement would take the peer's value
// for a local move and send it back as this side's own.
void SetAgreedLVar(LVarEntry& entry, float value);
