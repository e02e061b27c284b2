#include "net/converge.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "common/log.h"
#include "common/module_state.h"
#include "net/wire_records.h"

namespace {

bool GateOpen(std::size_t s) { return CockpitValue(s) != 0.0; }

enum class Share { kNo, kAlone, kWithFcu };

// What restoring entry i sends. Buttons are pressed, not held, so restoring
// one would press it again; an FCU value goes with the FCUh entry after it.
Share ShareOf(std::uint32_t i) {
  const LVarEntry& e = *simThread.lvarTable[i];
  switch (e.category) {
    case LVarCategory::kNone:
      return Share::kAlone;
    case LVarCategory::kFctl:
      return Load(roleState.isFollower) == 0 ? Share::kAlone : Share::kNo;
    case LVarCategory::kFcuHeading:
      return i > 0 && simThread.lvarTable[i - 1]->category == LVarCategory::kFcu ? Share::kWithFcu
                                                                                 : Share::kNo;
    case LVarCategory::kDisp:
      return GateOpen(slot::kMpSyncDsp) ? Share::kAlone : Share::kNo;
    case LVarCategory::kTerrWx:
      return GateOpen(slot::kMpSyncWx) ? Share::kAlone : Share::kNo;
    default:
      return Share::kNo;
  }
}

// Packs VarValueRecords into datagrams of at most kRecordsPerDatagram, never
// splitting an FCU/FCUh pair, so the pair arrives together and in order;
// entries of the reliable channel go there, one record a send.
class Packer {
 public:
  Packer(const RoleOutput& output, std::vector<std::uint8_t>& packet)
      : output_(output), packet_(packet) {
    packet_.clear();
  }
  ~Packer() { Flush(); }
  Packer(const Packer&) = delete;
  Packer& operator=(const Packer&) = delete;

  // Adds what entry i shares.
  void Add(std::uint32_t i) {
    const Share share = ShareOf(i);
    if (share == Share::kNo) return;
    const std::size_t records = share == Share::kWithFcu ? 2 : 1;
    if (packet_.size() + records * kMessageSize > kRecordsPerDatagram * kMessageSize) Flush();
    if (share == Share::kWithFcu) Put(i - 1);
    Put(i);
  }

 private:
  void Put(std::uint32_t i) {
    LVarEntry& e = *simThread.lvarTable[i];
    const float value = Load(e.value);
    e.agreed.store(value, std::memory_order_relaxed);
    // What the side that flies sends is what counts.
    if (Authoritative()) e.unconfirmed.store(false, std::memory_order_relaxed);
    // An entry whose changes take the reliable channel stays on it, so that
    // a refresh can never overtake a change still being retransmitted there.
    if (e.category == LVarCategory::kNone) {
      output_.reliable(kind::kVarValue, i, value, 0.0);
      return;
    }
    const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, i, value, 0.0));
    packet_.insert(packet_.end(), bytes.begin(), bytes.end());
  }
  void Flush() {
    if (!packet_.empty()) output_.packed(packet_.data(), packet_.size());
    packet_.clear();
  }

  const RoleOutput& output_;
  std::vector<std::uint8_t>& packet_;
};

// Every shared value and the gear handle, over the reliable channel, one
// record a send as the channel requires.
void SendSnapshot(const RoleOutput& output) {
  std::size_t sent = 0;
  for (std::uint32_t i = 0; i < LoadedEntryCount(); ++i) {
    const Share share = ShareOf(i);
    if (share == Share::kNo) continue;
    for (std::uint32_t j = share == Share::kWithFcu ? i - 1 : i; j <= i; ++j) {
      LVarEntry& e = *simThread.lvarTable[j];
      const float value = Load(e.value);
      e.agreed.store(value, std::memory_order_relaxed);
      output.reliable(kind::kVarValue, j, value, 0.0);
      ++sent;
    }
  }
  const double gear = Load(simThread.sharedState->aircraft->gearHandlePosition);
  Store(simThread.sharedState->lastGearHandle, gear);
  output.reliable(kind::kGearHandle, 0.0, gear, 0.0);
  LogMessage("Cockpit sent to the peer: " + std::to_string(sent) + " values and the gear handle");
}

void SendDueRepeats(const RoleOutput& output, ConvergeState& state, std::int64_t nowMs) {
  Packer packer(output, state.packet);
  for (std::uint32_t i = 0; i < LoadedEntryCount(); ++i) {
    LVarEntry& e = *simThread.lvarTable[i];
    if (e.repeatsLeft == 0 || nowMs < e.nextRepeatMs) continue;
    --e.repeatsLeft;
    e.nextRepeatMs = nowMs + (kFirstRepeatMs << (kRepeats - e.repeatsLeft));
    packer.Add(i);
  }
}

// The side that flies sends every shared value; the side that follows only
// its own changes that the peer has not shown back.
void SendRefresh(const RoleOutput& output, ConvergeState& state) {
  const bool all = Authoritative();
  Packer packer(output, state.packet);
  for (std::uint32_t i = 0; i < LoadedEntryCount(); ++i) {
    if (all || simThread.lvarTable[i]->unconfirmed.load(std::memory_order_relaxed)) packer.Add(i);
  }
}

}  // namespace

bool Authoritative() { return Load(roleState.isFollower) == 0; }

void NoteMotion(LVarEntry& e, std::int64_t nowMs) {
  e.movedAtMs.store(nowMs, std::memory_order_relaxed);
}

bool Drifted(LVarEntry& e, std::int64_t nowMs) {
  // The pair is read as the receive thread stores it, under the entry's guard.
  std::lock_guard<std::mutex> lock(e.pollGuard);
  const float value = Load(e.value);
  const float agreed = e.agreed.load(std::memory_order_relaxed);
  if (std::isnan(agreed)) {
    // The first pass takes the starting value as agreed; the snapshot of the
    // side that flies settles what the cockpits really start from.
    e.agreed.store(value, std::memory_order_relaxed);
    return false;
  }
  const float gap = std::fabs(value - agreed);
  if (gap > 0.2) return true;
  return gap > 0.0f && nowMs - e.movedAtMs.load(std::memory_order_relaxed) >= kRestMs;
}

void NoteSent(LVarEntry& e, float value, std::int64_t nowMs, bool repeat) {
  e.agreed.store(value, std::memory_order_relaxed);
  if (!Authoritative()) e.unconfirmed.store(true, std::memory_order_relaxed);
  if (!repeat) return;
  e.repeatsLeft = kRepeats;
  e.nextRepeatMs = nowMs + kFirstRepeatMs;
}

bool KeepsLocalValue(const LVarEntry& e, std::int64_t nowMs) {
  if (nowMs - e.movedAtMs.load(std::memory_order_relaxed) < kFreshMoveMs) return true;
  return !Authoritative() && e.unconfirmed.load(std::memory_order_relaxed);
}

void ConvergePass(const RoleOutput& output, ConvergeState& state, std::int64_t nowMs) {
  const std::uint32_t generation = Load(linkState.connectionGeneration);
  if (generation != state.seenGeneration) {
    state.seenGeneration = generation;
    if (state.tellsWhoFlies) output.followerFlag();
    if (Authoritative()) SendSnapshot(output);
  }
  SendDueRepeats(output, state, nowMs);
  if (state.nextRefreshMs == kNeverMs) state.nextRefreshMs = nowMs + kRefreshPeriodMs;
  if (nowMs < state.nextRefreshMs) return;
  state.nextRefreshMs = nowMs + kRefreshPeriodMs;
  SendRefresh(output, state);
}
