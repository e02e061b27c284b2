#include "net/send_rules.h"

#include <iterator>
#include <limits>
#include <utility>

#include "common/module_state.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"
#include "net/peer_talk.h"

namespace {

// Categories whose value is held, so that a value slowly moved away from the
// one last agreed is sent too. Buttons are pressed and released instead.
bool HeldValue(LVarCategory c) {
  return c == LVarCategory::kNone || c == LVarCategory::kFctl || c == LVarCategory::kDisp ||
         c == LVarCategory::kTerrWx;
}

void SendDatagramChange(const RoleOutput& output, LVarEntry& e, std::uint32_t i) {
  const float value = Load(e.value);
  output.datagram(i, value, 0.0);
  NoteSent(output, e, i, value);
}

// What holds for the whole scan of the table.
struct ScanPass {
  const RoleOutput& output;
  std::int64_t nowMs;
  bool keysClear;  // the cockpit asks for its keys to be cleared
};

// One entry as the scan polled it, before any rule looks at it.
struct Scanned {
  LVarEntry& e;
  std::uint32_t i;
  float value;
  bool changed;  // the poll saw a change worth sending
  bool due;      // changed, or a held value drifted from the one agreed
};

bool SendReliableChange(const ScanPass& pass, const Scanned& s) {
  if (!s.due || s.e.category != LVarCategory::kNone) return false;
  pass.output.reliable(kind::kVarValue, s.i, s.value, 0.0);
  NoteSent(pass.output, s.e, s.i, s.value);
  return true;
}

// A momentary button raised while the cockpit clears its keys: a local press
// goes to the peer, a value that came from the peer does not go back. Either
// way the button is released.
bool ReleaseMomentaryButton(const ScanPass& pass, const Scanned& s) {
  if (!pass.keysClear || s.value == 0.0f || s.e.category != LVarCategory::kMbtn) return false;
  if (s.e.syncMark.load(std::memory_order_relaxed) == -1) {
    s.e.syncMark.store(0, std::memory_order_relaxed);
  } else {
    pass.output.reliable(kind::kVarValue, s.i, Load(s.e.value), 0.0);
  }
  SetLVar(s.e, 0.0f);
  return true;
}

// Whether entry `i` is an FCU entry with its FCUh entry right after it.
bool FcuWithPartner(std::uint32_t i) {
  return simThread.lvarTable[i]->category == LVarCategory::kFcu && i + 1 < LoadedEntryCount() &&
         simThread.lvarTable[i + 1]->category == LVarCategory::kFcuHeading;
}

// An FCUh entry goes with the FCU entry before it, the FCU value first. The
// protocol sends the pair only when the FCU entry moved and the two differ;
// a peer that speaks the extension also gets a pair set equal and an FCUh
// entry moved alone, since every change a pilot makes must reach it.
void SendFcuPairIfMoved(const RoleOutput& output, LVarEntry& e, std::uint32_t i, std::int64_t nowMs,
                        bool due) {
  if (i == 0 || simThread.lvarTable[i - 1]->category != LVarCategory::kFcu) {
    // Without its FCU entry an FCUh entry goes alone, and only to such a peer.
    if (due && PeerSpeaksExtension()) SendDatagramChange(output, e, i);
    return;
  }
  LVarEntry& d = *simThread.lvarTable[i - 1];
  const bool fcuDue = EntryChanged(d) || Drifted(d, nowMs);
  const bool protocolPair = fcuDue && Load(e.value) != Load(d.value);
  if (!protocolPair && !(PeerSpeaksExtension() && (fcuDue || due))) return;
  output.datagram(i - 1, Load(d.value), 0.0);
  output.datagram(i, Load(e.value), 0.0);
  NoteSent(output, d, i - 1, Load(d.value));
  NoteSent(output, e, i, Load(e.value));
}

// Takes every FCUh entry, sent or not: one never goes on its own to a peer
// that speaks only the protocol.
bool SendFcuPair(const ScanPass& pass, const Scanned& s) {
  if (s.e.category != LVarCategory::kFcuHeading) return false;
  SendFcuPairIfMoved(pass.output, s.e, s.i, pass.nowMs, s.due);
  return true;
}

// An FCU entry without an FCUh entry after it has no rule in the protocol;
// to a peer that speaks the extension its change goes alone.
bool SendLoneFcu(const ScanPass& pass, const Scanned& s) {
  if (!s.due || s.e.category != LVarCategory::kFcu || !PeerSpeaksExtension() ||
      FcuWithPartner(s.i)) {
    return false;
  }
  SendDatagramChange(pass.output, s.e, s.i);
  return true;
}

// The side that follows keeps its flight controls out of the protocol; a
// peer that speaks the extension hears of the move and answers with the
// flying side's value, which the flight controls follow.
bool SendFlightControl(const ScanPass& pass, const Scanned& s) {
  if (!s.due || s.e.category != LVarCategory::kFctl) return false;
  if (Load(roleState.isFollower) != 0) {
    if (PeerSpeaksExtension()) NoteSent(pass.output, s.e, s.i, s.value);
    return false;
  }
  SendDatagramChange(pass.output, s.e, s.i);
  return true;
}

bool SendDisplay(const ScanPass& pass, const Scanned& s) {
  if (!s.due || s.e.category != LVarCategory::kDisp || CockpitValue(slot::kMpSyncDsp) == 0.0) {
    return false;
  }
  SendDatagramChange(pass.output, s.e, s.i);
  return true;
}

bool SendTerrainWeather(const ScanPass& pass, const Scanned& s) {
  if (!s.due || s.e.category != LVarCategory::kTerrWx || CockpitValue(slot::kMpSyncWx) == 0.0) {
    return false;
  }
  SendDatagramChange(pass.output, s.e, s.i);
  return true;
}

// Takes a changed button going back to 0 too, though only a press is sent.
bool SendButtonPress(const ScanPass& pass, const Scanned& s) {
  if (!s.changed || s.e.category != LVarCategory::kBtn) return false;
  if (s.value != 0.0f) pass.output.datagram(s.i, s.value, 0.0);
  return true;
}

// Takes every entry that reaches it. The pass looks at the gear once for
// nearly every entry; only this thread writes the last value, so a plain load
// and store do, where an exchange would be one locked instruction an entry.
// A position the peer has just set is taken as agreed, not sent back.
bool SendGearIfMoved(const ScanPass& pass, const Scanned&) {
  const double gear = Load(simThread.sharedState->aircraft->gearHandlePosition);
  if (gear == Load(simThread.sharedState->lastGearHandle)) return true;
  Store(simThread.sharedState->lastGearHandle, gear);
  if (gear == Load(roleState.gearFromPeer)) {
    Store(roleState.gearFromPeer, std::numeric_limits<double>::quiet_NaN());
    return true;
  }
  pass.output.reliable(kind::kGearHandle, 0.0, gear, 0.0);
  return true;
}

struct SendRule {
  bool (*take)(const ScanPass& pass, const Scanned& s);
  // Under ReliableChangeRule::kEndsScan, the last entry the scan looks at.
  bool endsScan;
};

// The rules an entry is shown, in this order; the first that takes it is the
// only one that does. The last takes whatever reaches it.
constexpr SendRule kSendRules[] = {
    {SendReliableChange, true},       // a changed or drifted value of no category, reliably
    {ReleaseMomentaryButton, false},  // a raised momentary button, while keys clear
    {SendFcuPair, false},             // an FCUh entry, with the FCU entry before it
    {SendLoneFcu, false},             // an FCU entry without an FCUh entry, to an extension peer
    {SendFlightControl, false},       // a changed flight control, from the side that flies
    {SendDisplay, false},             // a changed display, while displays are synced
    {SendTerrainWeather, false},      // a changed terrain or weather, while it is synced
    {SendButtonPress, false},         // a changed push button
    {SendGearIfMoved, false},         // any other entry: the gear handle, if it moved
};

// Shows the entry to the rules in order until one takes it; true when that
// one ends the scan. The table is walked at compile time, so that each rule
// is a direct call the compiler can inline, as a chain of ifs would be.
template <std::size_t... Rule>
bool TakeByRules(const ScanPass& pass, const Scanned& s, std::index_sequence<Rule...>) {
  bool endsScan = false;
  static_cast<void>(
      ((kSendRules[Rule].take(pass, s) && (endsScan = kSendRules[Rule].endsScan, true)) || ...));
  return endsScan;
}

}  // namespace

void ScanTable(const RoleOutput& output, ReliableChangeRule rule, std::int64_t nowMs) {
  const ScanPass pass{output, nowMs, CockpitValue(slot::kKeysClear) == 1.0};
  const std::uint32_t count = LoadedEntryCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    LVarEntry& e = *simThread.lvarTable[i];
    const PollResult poll = PollEntry(e);
    const float value = Load(e.value);
    if (poll.moved) NoteMotion(e, nowMs);
    const bool due = poll.changed || (HeldValue(e.category) && Drifted(e, nowMs));
    const Scanned scanned{e, i, value, poll.changed, due};
    if (TakeByRules(pass, scanned, std::make_index_sequence<std::size(kSendRules)>{}) &&
        rule == ReliableChangeRule::kEndsScan) {
      return;
    }
  }
}
