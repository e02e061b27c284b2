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

// Every entry of the categories that `pick` picks, stamped, in one send.
template <typename Pick>
void SendStampedWhere(const RoleOutput& output, Pick pick) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t i = 0; i < LoadedEntryCount(); ++i) {
    if (!pick(simThread.lvarTable[i]->category)) continue;
    const MessageBytes record = StampedRecordOf(i, false);
    bytes.insert(bytes.end(), record.begin(), record.end());
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
    // The exchange after the hellos has covered everything up to now.
    state = ConvergeState{generation,
                          kind,
                          flies,
                          displayShared,
                          weatherShared,
                          switches.displayHere,
                          switches.weatherHere,
                          nowMs + kClockPeriodMs,
                          nowMs + kDigestPeriodMs};
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
  // Displays or weather newly synced on both sides: each side offers its
  // values, and the newest of each pair stays.
  if (displayShared && !state.displayShared) {
    SendStampedWhere(output, [](LVarCategory c) { return c == LVarCategory::kDisp; });
  }
  if (weatherShared && !state.weatherShared) {
    SendStampedWhere(output, [](LVarCategory c) { return c == LVarCategory::kTerrWx; });
  }
  state.displayShared = displayShared;
  state.weatherShared = weatherShared;
  // The digest waits while anything is still on its way: a pilot's change
  // goes first, and the digest then describes it.
  if (nowMs >= state.nextDigestMs && Load(linkState.peerTableSame) && !output.reliableBusy()) {
    state.nextDigestMs = nowMs + kDigestPeriodMs;
    const std::vector<std::uint8_t> digest = DigestRecords(switches);
    if (!digest.empty()) output.extension(digest.data(), digest.size());
  }
  // The flight controls follow the side that flies; a swap that crossed a
  // stamped value on the way is settled by the new one's values.
  if (flies && !state.flew) {
    SendStampedWhere(output,
                     [](LVarCategory c) { return OwnerRowOf(c).owner == Owner::kFlyingSide; });
  }
  state.flew = flies;
}
