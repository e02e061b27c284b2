#include "net/peer_talk.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/log.h"
#include "common/module_state.h"
#include "common/simconnect_api.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "net/correction_log.h"
#include "net/format_number.h"
#include "net/table_digest.h"

PeerTalk peerTalk;

static_assert(kNeverStamp == kNeverMs, "an entry's stamp and the wire's mean the same never");

namespace {

bool SwitchOn(std::size_t s) { return CockpitValue(s) != 0.0; }
bool HereFlies() { return Load(roleState.isFollower) == 0; }
bool HereIsHost() { return Load(roleState.serverGame) != nullptr; }

void SendOn(const Reply& reply, const MessageBytes& bytes) { reply(bytes.data(), bytes.size()); }

// The stamped values of the entries in [from, to) this side offers.
void PutOffered(std::vector<std::uint8_t>& bytes, std::uint32_t from, std::uint32_t to) {
  const Switches switches = CurrentSwitches();
  for (std::uint32_t i = from; i < to; ++i) {
    if (!OffersStamped(simThread.lvarTable[i]->category, switches)) continue;
    const MessageBytes record = StampedRecordOf(i, false);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
}

void ShowFollower(std::uint8_t follower) {
  if (Load(roleState.isFollower) == follower) return;
  Store(roleState.isFollower, follower);
  WriteFixed(slot::kMpConn, follower);
}

}  // namespace

Hello OwnHello() {
  Hello hello;
  hello.flies = HereFlies();
  hello.displaySync = SwitchOn(slot::kMpSyncDsp);
  hello.weatherSync = SwitchOn(slot::kMpSyncWx);
  hello.connectedBefore = Load(linkState.helloExchanged);
  hello.fingerprint = Load(roleSetup.tableFingerprint);
  hello.sessionId = Load(roleSetup.sessionId);
  return hello;
}

bool PeerSpeaksExtension() { return Load(linkState.peerKind) == peer_kind::kExtension; }

Switches CurrentSwitches() {
  return Switches{SwitchOn(slot::kMpSyncDsp), Load(linkState.peerDisplaySync),
                  SwitchOn(slot::kMpSyncWx), Load(linkState.peerWeatherSync)};
}

bool OffersStamped(LVarCategory category, const Switches& switches) {
  return Shared(category, switches) &&
         (OwnerRowOf(category).owner != Owner::kFlyingSide || HereFlies());
}

MessageBytes StampedRecordOf(std::uint32_t position, bool exchange) {
  LVarEntry& e = *simThread.lvarTable[position];
  StampedValue value;
  value.position = position;
  value.value = Load(e.value);
  value.stampMs = Load(e.stampMs);
  value.exchange = exchange;
  return EncodeStampedValue(value);
}

void PeerTalk::NewConnection(const Reply& reply, std::int64_t nowMs) {
  helloSeen_ = false;
  firstRecordSeen_ = false;
  helloWaitEndsMs_ = nowMs + kHelloWaitMs;
  prevails_ = Prevails::kNeither;
  tablesDiffer_ = false;
  namesIn_ = false;
  namesFailed_ = false;
  peerNames_.Reset();
  peerToLocal_.clear();
  clockMinNow_.reset();
  clockMinBefore_.reset();
  clockWindowEndsMs_ = nowMs + kClockWindowMs;
  answered_.clear();
  Store(linkState.peerKind, peer_kind::kUnknown);
  Store(linkState.peerTableSame, false);
  // A stamped copy the old connection did not bring never comes.
  for (std::uint32_t i = 0; i < LoadedEntryCount(); ++i) {
    simThread.lvarTable[i]->awaitingStamp = false;
  }
  if (!Load(roleSetup.extensionAllowed)) return;
  SendOn(reply, EncodeHello(OwnHello()));
  SendOn(reply, EncodeClock(ClockSample{nowMs}));
}

void PeerTalk::NamePeerKind(const char* what) {
  if (plainLogged_) return;
  plainLogged_ = true;
  LogMessage(std::string("Peer: ") + what +
             "; LVars.cfg cannot be compared with the peer's, entries travel by position");
}

void PeerTalk::FirstRecordPlain() {
  if (firstRecordSeen_) return;
  firstRecordSeen_ = true;
  Store(linkState.peerKind, peer_kind::kPlain);
  NamePeerKind("it speaks the protocol only (no hello)");
}

void PeerTalk::Tick(std::int64_t nowMs) {
  // A hello that comes later still counts, since nothing else came first.
  if (!firstRecordSeen_ && helloWaitEndsMs_ != 0 && nowMs >= helloWaitEndsMs_ &&
      Load(linkState.connectionStatus) == connection_status::kConnected) {
    helloWaitEndsMs_ = 0;
    Store(linkState.peerKind, peer_kind::kPlain);
    NamePeerKind("no hello within 2 s, taken for a peer that speaks the protocol only");
  }
}

void PeerTalk::Take(const std::uint8_t* record, const Reply& reply, ReceiveLimits& limits,
                    std::int64_t nowMs) {
  const std::uint8_t type = DecodeExtensionType(record);
  if (type == extension::kHello) {
    TakeHello(DecodeHello(record), reply);
    return;
  }
  // The rest means something only after a hello, from a side that speaks
  // the extension; this side may also have it turned off.
  if (!helloSeen_ || !Load(roleSetup.extensionAllowed)) return;
  switch (type) {
    case extension::kClock:
      TakeClock(DecodeClock(record), nowMs);
      break;
    case extension::kName:
      TakeName(record);
      break;
    case extension::kStampedValue:
      if (const auto value = DecodeStampedValue(record)) TakeStamped(*value, reply, limits, nowMs);
      break;
    case extension::kDigest:
      if (const auto digest = DecodeDigest(record)) TakeDigest(*digest, reply);
      break;
    default:
      break;
  }
}

void PeerTalk::TakeHello(const Hello& hello, const Reply& reply) {
  if (!Load(roleSetup.extensionAllowed)) {
    if (firstRecordSeen_) return;
    firstRecordSeen_ = true;
    Store(linkState.peerKind, peer_kind::kPlain);
    NamePeerKind(
        "its hello is not answered, \"plain protocol\" in SharedConfig.cfg turns the extension off "
        "here");
    return;
  }
  Store(linkState.peerDisplaySync, hello.displaySync);
  Store(linkState.peerWeatherSync, hello.weatherSync);
  if (helloSeen_) return;        // a later hello only tells new switches
  if (firstRecordSeen_) return;  // a hello after other records is no hello
  helloSeen_ = true;
  firstRecordSeen_ = true;
  Store(linkState.peerKind, peer_kind::kExtension);
  const bool hereKept = Load(linkState.helloExchanged);
  prevails_ = hereKept == hello.connectedBefore ? Prevails::kNeither
              : hereKept                        ? Prevails::kHere
                                                : Prevails::kPeer;
  tablesDiffer_ = hello.fingerprint != Load(roleSetup.tableFingerprint);
  Store(linkState.peerTableSame, !tablesDiffer_);
  const bool restarted = lastPeerSession_ != 0 && lastPeerSession_ != hello.sessionId;
  lastPeerSession_ = hello.sessionId;
  LogMessage("Peer: hello, extension version " + std::to_string(hello.version) + ", session " +
             FingerprintText(hello.sessionId) + (restarted ? " (it has restarted)" : "") +
             (hello.connectedBefore ? ", connected before" : ", a new session") +
             (tablesDiffer_ ? "; LVars.cfg differs from this side's, entries are matched by name"
                            : "; LVars.cfg is the same on both sides"));
  DecideWhoFlies(hello);
  Store(linkState.helloExchanged, true);
  SendExchange(reply);
}

// Who flies after a reconnect: the side that kept its session keeps its
// role, and a side that has just started takes the other one; when both
// kept theirs, or both are new, the host's stands, as it does at a first
// start. Both sides decide alike from the two hellos, so nothing more is sent.
void PeerTalk::DecideWhoFlies(const Hello& hello) {
  bool peerStands = false;
  if (prevails_ == Prevails::kPeer) {
    peerStands = true;
  } else if (prevails_ == Prevails::kNeither) {
    peerStands = !HereIsHost();
  }
  if (!peerStands) return;
  const std::uint8_t follower = hello.flies ? 1 : 0;
  if (Load(roleState.isFollower) == follower) return;
  ShowFollower(follower);
  LogMessage(std::string("Peer kept its role: this side now ") + (follower ? "follows" : "flies"));
}

// Names first, so that the values after them find their entries; the gear
// handle from the side whose cockpit counts: the one that kept its session,
// else the one that flies. The stamped values follow from the send thread.
void PeerTalk::SendExchange(const Reply& reply) {
  const std::uint32_t count = LoadedEntryCount();
  std::vector<std::uint8_t> bytes;
  const auto put = [&bytes](const MessageBytes& record) {
    bytes.insert(bytes.end(), record.begin(), record.end());
  };
  if (tablesDiffer_) {
    for (const MessageBytes& piece : NamePieces(NamedEntriesOf(simThread.lvarTable, count))) {
      put(piece);
    }
  }
  if (prevails_ == Prevails::kHere || (prevails_ == Prevails::kNeither && HereFlies())) {
    const double gear = Load(simThread.sharedState->aircraft->gearHandlePosition);
    Store(simThread.sharedState->lastGearHandle, gear);
    put(EncodeMessage(MakeMessage(kind::kGearHandle, 0.0, gear, 0.0)));
  }
  if (!bytes.empty()) reply(bytes.data(), bytes.size());
  linkState.exchangesAsked.fetch_add(1, std::memory_order_relaxed);
}

void PeerTalk::TakeClock(const ClockSample& clock, std::int64_t nowMs) {
  if (nowMs >= clockWindowEndsMs_) {
    clockMinBefore_ = clockMinNow_;
    clockMinNow_.reset();
    clockWindowEndsMs_ = nowMs + kClockWindowMs;
  }
  // Saturating: the peer may send any number.
  const std::int64_t sent = std::clamp(clock.nowMs, kNeverStamp, kLatestStamp);
  const std::int64_t sample = nowMs - sent;
  if (!clockMinNow_ || sample < *clockMinNow_) clockMinNow_ = sample;
}

std::optional<std::int64_t> PeerTalk::LocalTimeOf(std::int64_t peerMs, std::int64_t nowMs) const {
  std::optional<std::int64_t> shift = clockMinNow_;
  if (clockMinBefore_ && (!shift || *clockMinBefore_ < *shift)) shift = clockMinBefore_;
  if (!shift) return std::nullopt;
  if (peerMs <= kNeverStamp) return kNeverStamp;
  // Nothing here changed in the future: a stamp past now is a clock's error.
  return std::clamp(peerMs + *shift, kNeverStamp, nowMs);
}

void PeerTalk::TakeName(const std::uint8_t* record) {
  if (!tablesDiffer_ || namesIn_ || namesFailed_) return;
  // A malformed piece abandons the table: skipped, the next piece would
  // continue the name wrongly.
  NamesStep step = peerNames_.Take(record);
  if (!step.problem.empty()) {
    // Nothing maps then: no value from the peer finds an entry here.
    LogMessage(step.problem + "; values from the peer are not applied until it connects again");
    namesFailed_ = true;
    return;
  }
  if (!step.table) return;
  const std::vector<NamedEntry> here = NamedEntriesOf(simThread.lvarTable, LoadedEntryCount());
  const TableComparison comparison = CompareTables(here, *step.table);
  for (const std::string& line : TableComparisonLines(here, *step.table, comparison)) {
    LogMessage(line);
  }
  peerToLocal_ = comparison.peerToLocal;
  namesIn_ = true;
}

std::optional<std::uint32_t> PeerTalk::LocalPositionOf(std::uint32_t peerPosition) const {
  std::size_t at = peerPosition;
  if (tablesDiffer_ && PeerSpeaksExtension()) {
    if (!namesIn_ || at >= peerToLocal_.size() || peerToLocal_[at] == kNoPosition)
      return std::nullopt;
    at = peerToLocal_[at];
  }
  if (at >= LoadedEntryCount()) return std::nullopt;
  return static_cast<std::uint32_t>(at);
}

void PeerTalk::TakeStamped(const StampedValue& value, const Reply& reply, ReceiveLimits& limits,
                           std::int64_t nowMs) {
  const std::optional<std::uint32_t> local = LocalPositionOf(value.position);
  if (!local) return;
  LVarEntry* entry = simThread.lvarTable[*local].get();
  if (!Shared(entry->category, CurrentSwitches())) return;
  const std::optional<std::int64_t> peerStamp = LocalTimeOf(value.stampMs, nowMs);
  if (!peerStamp) return;
  if (entry->awaitingStamp) {
    if (value.value != entry->awaitedValue) return;  // sent before the live change
    entry->awaitingStamp = false;
  }
  const float live = ReadLiveValue(*entry);
  if (live == value.value) {
    // Agreed: the later of the two stamps is when the value came about.
    if (*peerStamp > Load(entry->stampMs)) Store(entry->stampMs, *peerStamp);
    Store(entry->agreed, value.value);
    return;
  }
  // A move no poll has seen yet is newer than anything the peer can send;
  // the poll will send it.
  if (live != Load(entry->value)) return;
  Disagreement d;
  d.category = entry->category;
  d.localStampMs = Load(entry->stampMs);
  d.peerStampMs = *peerStamp;
  d.hereFlies = HereFlies();
  d.peerFlies = !d.hereFlies;
  d.hereIsHost = HereIsHost();
  d.exchange = value.exchange;
  d.prevails = prevails_;
  if (!PeerWins(d)) {
    SendOn(reply, StampedRecordOf(*local, value.exchange));
    return;
  }
  SetAgreedLVar(*entry, value.value);
  Store(entry->stampMs, *peerStamp);
  correctionLog.Note(entry->name, value.value, nowMs);
  limits.appliedValues.Log("LvarsSet: " + entry->name + " Value: " + FormatNumber(value.value));
}

void PeerTalk::TakeDigest(const Digest& digest, const Reply& reply) {
  if (tablesDiffer_ || digest.blockEntries != kDigestBlockEntries) return;
  const std::uint32_t blocks = DigestBlockCount();
  if (answered_.size() != blocks) answered_.assign(blocks, std::nullopt);
  const Switches switches = CurrentSwitches();
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t k = 0; k < digest.count; ++k) {
    // Blocks past this side's table (a hostile count) name nothing here.
    if (digest.firstBlock >= blocks || k >= blocks - digest.firstBlock) break;
    const std::uint32_t block = digest.firstBlock + k;
    const AnsweredBlock seen{digest.hashes[k], BlockHash(block, switches)};
    if (seen.peer == seen.here) {
      answered_[block].reset();
      continue;
    }
    std::optional<AnsweredBlock>& last = answered_[block];
    if (last && last->peer == seen.peer && last->here == seen.here) continue;
    last = seen;
    const std::uint32_t from = block * kDigestBlockEntries;
    PutOffered(bytes, from, std::min(from + kDigestBlockEntries, LoadedEntryCount()));
  }
  if (!bytes.empty()) reply(bytes.data(), bytes.size());
}
