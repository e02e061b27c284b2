#include "net/converge.h"

#include <cmath>
#include <mutex>
#include <vector>

#include "common/module_state.h"
#include "net/extension_records.h"
#include "net/owner_rule.h"
#include "net/peer_talk.h"
#include "net/table_digest.h"

namespace {

bool Picked(BulkPick pick, LVarCategory category, const Switches& switches) {
  switch (pick) {
    case BulkPick::kOffered:
      return OffersStamped(category, switches);
    case BulkPick::kDisplay:
      return category == LVarCategory::kDisp;
    case BulkPick::kWeather:
      return category == LVarCategory::kTerrWx;
    case BulkPick::kFlightControls:
      return OwnerRowOf(category).owner == Owner::kFlyingSide;
  }
  return false;
}

// Sends up to kBulkRecordsPerPass records of the bulks, oldest first.
void SendBulkChunk(const RoleOutput& output, ConvergeState& state) {
  const Switches switches = CurrentSwitches();
  const std::uint32_t count = LoadedEntryCount();
  std::vector<std::uint8_t> bytes;
  while (!state.bulks.empty() && bytes.size() < kBulkRecordsPerPass * kMessageSize) {
    Bulk& bulk = state.bulks.front();
    for (; bulk.next < count && bytes.size() < kBulkRecordsPerPass * kMessageSize; ++bulk.next) {
      if (!Picked(bulk.pick, simThread.lvarTable[bulk.next]->category, switches)) continue;
      const bool marked =
          bulk.exchange && Load(simThread.lvarTable[bulk.next]->stampMs) <= bulk.askedMs;
      const MessageBytes record = StampedRecordOf(bulk.next, marked);
      bytes.insert(bytes.end(), record.begin(), record.end());
    }
    if (bulk.next >= count) state.bulks.erase(state.bulks.begin());
  }
  if (!bytes.empty()) output.extension(bytes.data(), bytes.size());
}

}  // namespace

void NoteMotion(LVarEntry& e, std::int64_t nowMs) {
  e.movedAtMs.store(nowMs, std::memory_order_relaxed);
  e.stampMs.store(nowMs, std::memory_order_relaxed);
}

bool Drifted(LVarEntry& e, std::int64_t nowMs) {
  // The pair is read as the receive thread stores it, under the entry's guard.
  std::lock_guard<std::mutex> lock(e.pollGuard);
  const float value = Load(e.value);
  const float agreed = e.agreed.load(std::memory_order_relaxed);
  if (std::isnan(agreed)) {
    // The first pass takes the starting value as agreed; the exchange after
    // the hellos settles what the cockpits really start from.
    e.agreed.store(value, std::memory_order_relaxed);
    return false;
  }
  const float gap = std::fabs(value - agreed);
  if (gap > 0.2) return true;
  return gap > 0.0f && nowMs - e.movedAtMs.load(std::memory_order_relaxed) >= kRestMs;
}

void NoteSent(const RoleOutput& output, LVarEntry& e, std::uint32_t i, float value) {
  e.agreed.store(value, std::memory_order_relaxed);
  if (PeerSpeaksExtension() && Shared(e.category, CurrentSwitches())) {
    const MessageBytes bytes = StampedRecordOf(i, false);
    output.extension(bytes.data(), bytes.size());
  }
}

bool KeepsLocalValue(const LVarEntry& e, std::int64_t nowMs) {
  return nowMs - e.movedAtMs.load(std::memory_order_relaxed) < kFreshMoveMs;
}

void ConvergePass(const RoleOutput& output, ConvergeState& state, std::int64_t nowMs) {
  const Switches switches = CurrentSwitches();
  const bool flies = Load(roleState.isFollower) == 0;
  const bool displayShared = Shared(LVarCategory::kDisp, switches);
  const bool weatherShared = Shared(LVarCategory::kTerrWx, switches);
  const std::uint32_t generation = Load(linkState.connectionGeneration);
  const std::uint8_t kind = Load(linkState.peerKind);
  if (generation != state.seenGeneration || kind != state.seenPeerKind) {
    // The exchange after the hellos covers everything up to now; one asked
    // for before this pass noticed the connection still goes.
    state = ConvergeState{generation,
                          kind,
                          flies,
                          displayShared,
                          weatherShared,
                          switches.displayHere,
                          switches.weatherHere,
                          nowMs + kClockPeriodMs,
                          nowMs + kDigestPeriodMs,
                          state.seenExchanges,
                          {},
                          std::nullopt};
    return;
  }
  if (kind != peer_kind::kExtension) return;
  if (nowMs >= state.nextClockMs) {
    state.nextClockMs = nowMs + kClockPeriodMs;
    const MessageBytes clock = EncodeClock(ClockSample{nowMs});
    output.extension(clock.data(), clock.size());
  }
  if (switches.displayHere != state.displayHere || switches.weatherHere != state.weatherHere) {
    state.displayHere = switches.displayHere;
    state.weatherHere = switches.weatherHere;
    const MessageBytes hello = EncodeHello(OwnHello());
    output.extension(hello.data(), hello.size());
  }
  // The hellos ask for the exchange: every value this side offers, marked.
  const std::uint32_t exchanges = Load(linkState.exchangesAsked);
  if (exchanges != state.seenExchanges) {
    state.seenExchanges = exchanges;
    state.bulks.push_back(Bulk{BulkPick::kOffered, true, nowMs});
  }
  // Displays or weather newly synced on both sides: each side offers its
  // values, and the newest of each pair stays.
  if (displayShared && !state.displayShared) state.bulks.push_back(Bulk{BulkPick::kDisplay});
  if (weatherShared && !state.weatherShared) state.bulks.push_back(Bulk{BulkPick::kWeather});
  state.displayShared = displayShared;
  state.weatherShared = weatherShared;
  // The flight controls follow the side that flies; a swap that crossed a
  // stamped value on the way is settled by the new one's values.
  if (flies && !state.flew) state.bulks.push_back(Bulk{BulkPick::kFlightControls});
  state.flew = flies;
  // Bulks and the digest yield while anything is still on its way, so that a
  // pilot's change queues behind one chunk at most; but for no longer than
  // kYieldAtMostMs, or a knob that never rests on a distant link would starve
  // them.
  const bool digestDue = nowMs >= state.nextDigestMs && Load(linkState.peerTableSame);
  if (state.bulks.empty() && !digestDue) return;
  if (output.reliableBusy()) {
    if (!state.yieldingSinceMs) state.yieldingSinceMs = nowMs;
    if (nowMs - *state.yieldingSinceMs < kYieldAtMostMs) return;
  }
  state.yieldingSinceMs.reset();
  if (!state.bulks.empty()) {
    SendBulkChunk(output, state);
    return;
  }
  state.nextDigestMs = nowMs + kDigestPeriodMs;
  const std::vector<std::uint8_t> digest = DigestRecords(switches);
  if (!digest.empty()) output.extension(digest.data(), digest.size());
}
