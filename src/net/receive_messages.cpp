#include "net/receive_messages.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "common/log.h"
#include "common/log_limit.h"
#include "common/low_word.h"
#include "common/module_state.h"
#include "common/panel_services.h"
#include "common/simconnect_api.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"
#include "net/format_number.h"
#include "net/peer_talk.h"
#include "net/role_loop.h"
#include "net/wire_records.h"
#include "simlink/definitions.h"
#include "simlink/eased_values.h"
#include "simlink/key_event_relay.h"
#include "simlink/simconnect_health.h"

namespace {

constexpr double kKeyEventFloor = 65536.0;    // exclusive
constexpr double kKeyEventCeiling = 66860.0;  // exclusive

// A value the cockpit takes as a float: finite, and finite once narrowed.
bool FitsFloat(double x) {
  return std::isfinite(x) && std::fabs(x) <= std::numeric_limits<float>::max();
}

// The entry a record's index names, or none: any index of the table counts,
// index 0 included, on both channels; a peer whose table differs names its
// own positions, which are matched by name.
LVarEntry* EntryAt(std::int32_t index) {
  if (index < 0) return nullptr;
  const auto local = peerTalk.LocalPositionOf(static_cast<std::uint32_t>(index));
  return local ? simThread.lvarTable[*local].get() : nullptr;
}

// A momentary button is applied only once the local press is over and the
// cockpit has cleared its keys, so that a value from the peer is not taken
// for a local press. The wait holds the whole receive thread, so the buttons
// of one pass wait kButtonWaitPerPassMs at most all together, however many
// records they are; past that (logged once a pass) each is applied at once.
// Returns false when a stop request ended the wait.
bool WaitForButtonRelease(LVarEntry& entry, Channel channel, ReceiveLimits& limits) {
  for (;;) {
    const bool released =
        entry.value.load(std::memory_order_relaxed) != 1.0f &&
        (channel != Channel::kReliable || entry.syncMark.load(std::memory_order_relaxed) != -1) &&
        ReadFixed(slot::kKeysClear).value_or(0.0) == 0.0;
    if (released) return true;
    if (!RoleRunning()) return false;
    if (SteadyNowMs() >= limits.buttonWaitEndsMs) {
      if (!limits.buttonWaitTimedOut) LogMessage("Button wait timed out: " + entry.name);
      limits.buttonWaitTimedOut = true;
      return true;
    }
    platform::SleepMs(1);
  }
}

void ApplyVarValue(const MessageRecord& record, Channel channel, ReceiveLimits& limits) {
  LVarEntry* entry = EntryAt(record.index);
  if (entry == nullptr || !FitsFloat(record.value)) return;
  const auto value = static_cast<float>(record.value);
  // A peer that speaks the extension follows each reliable change with its
  // stamped copy on the same stream, which says how old it is: a change held
  // up by a cut must not pass for a fresh one.
  if (channel == Channel::kReliable && PeerSpeaksExtension() &&
      Shared(entry->category, CurrentSwitches())) {
    return;
  }
  if (entry->category == LVarCategory::kMbtn) {
    if (!WaitForButtonRelease(*entry, channel, limits)) return;
    entry->syncMark.store(-1, std::memory_order_relaxed);
  } else {
    // A value the cockpit already holds changes nothing but confirms it; one
    // older than the pilot's own move here would flick the control back.
    const std::int64_t now = SteadyNowMs();
    const float live = ReadLiveValue(*entry);
    if (live == value) {
      entry->agreed.store(value, std::memory_order_relaxed);
      return;
    }
    // A cockpit that moved since the last poll holds a move no poll has seen.
    if (live != entry->value.load(std::memory_order_relaxed)) return;
    if (KeepsLocalValue(*entry, now)) return;
  }
  SetAgreedLVar(*entry, value);
  // A live change has just been made over there; a peer that speaks the
  // extension follows it with the stamp it took.
  Store(entry->stampMs, SteadyNowMs());
  if (PeerSpeaksExtension() && Shared(entry->category, CurrentSwitches())) {
    entry->awaitingStamp = true;
    entry->awaitedValue = value;
  }
  limits.appliedValues.Log("LvarsSet: " + entry->name + " Value: " + FormatNumber(value));
}

void ApplyFollowerFlag(const MessageRecord& record) {
  if (std::isnan(record.value)) return;
  const std::uint8_t follower = record.value == 0.0 ? 1 : 0;
  // The host repeats the flag on every new connection; only a swap is shown.
  if (Load(roleState.isFollower) == follower) return;
  Store(roleState.isFollower, follower);
  WriteFixed(slot::kMpConn, follower);
}

void ApplyGearHandle(const MessageRecord& record) {
  if (!std::isfinite(record.value) || !SimConnectLive()) return;
  // The receive thread's own copy: setDataScratch belongs to the simulator thread.
  double position = record.value;
  // Noted before the simulator takes it, so that the send thread, seeing the
  // handle move, knows the move came from here and does not send it back.
  Store(roleState.gearFromPeer, position);
  SimConnect_SetDataOnSimObject(simThread.simConnect, definition::kGearHandle,
                                simconnect::kObjectIdUser, 0, 0, sizeof position, &position);
}

void ApplyAircraftState(const AircraftStateRecord& record) {
  // One field that is not a number would reach the simulator through easing.
  for (const EasedValue& field : kEasedValues) {
    if (!std::isfinite(record.*field.wire)) return;
  }
  for (const EasedValue& field : kEasedValues) {
    (simThread.sharedState->*field.record)
        .target.store(record.*field.wire, std::memory_order_relaxed);
  }
}

void ApplyKeyEvent(const MessageRecord& record, ReceiveLimits& limits) {
  if (!(record.extra > kKeyEventFloor && record.extra < kKeyEventCeiling)) return;
  if (!FitsFloat(record.value)) return;
  const auto eventId = static_cast<std::int32_t>(record.extra);
  const std::uint32_t data = LowWord(record.value);
  panel::TriggerKeyEvent(kMarkerEventId, static_cast<std::uint32_t>(eventId));
  panel::TriggerKeyEvent(kMarkerEventData, data);
  panel::TriggerKeyEvent(static_cast<std::uint32_t>(eventId), data);
  limits.keyEvents.Log("SimEvent: " + FormatNumber(eventId) +
                       " Value: " + FormatNumber(static_cast<float>(record.value)));
}

}  // namespace

void StartReceivePass(ReceiveLimits& limits) {
  limits.buttonWaitEndsMs = SteadyNowMs() + kButtonWaitPerPassMs;
  limits.buttonWaitTimedOut = false;
}

void FinishReceivePass(ReceiveLimits& limits) {
  const std::int64_t now = SteadyNowMs();
  limits.appliedValues.Summarise(now);
  limits.keyEvents.Summarise(now);
}

void ApplyReliableRecords(const std::uint8_t* data, std::size_t bytes, ReceiveLimits& limits,
                          const Reply& reply) {
  const std::int64_t now = SteadyNowMs();
  for (std::size_t offset = 0; offset + kMessageSize <= bytes; offset += kMessageSize) {
    // A full read holds some 200,000 records; a stop must not wait for all.
    if (!RoleRunning()) return;
    const MessageRecord record = DecodeMessage(data + offset);
    if (record.kind == kind::kExtension) {
      peerTalk.Take(data + offset, reply, limits, now);
      continue;
    }
    peerTalk.FirstRecordPlain();
    switch (record.kind) {
      case kind::kVarValue:
        ApplyVarValue(record, Channel::kReliable, limits);
        break;
      case kind::kFollowerFlag:
        if (record.index == 0) ApplyFollowerFlag(record);
        break;
      case kind::kGearHandle:
        if (record.index == 0) ApplyGearHandle(record);
        break;
      case kind::kKeyEvent:
        if (record.index == 0) ApplyKeyEvent(record, limits);
        break;
      default:
        break;
    }
  }
}

bool WalkDatagram(const std::uint8_t* data, std::size_t length, ReceiveLimits& limits) {
  bool greeting = false;
  std::size_t offset = 0;
  while (offset < length && length - offset >= kMessageSize) {
    if (!RoleRunning()) return greeting;
    const std::uint8_t* at = data + offset;
    switch (DecodeKind(at)) {
      case kind::kGreeting:
        greeting = true;
        offset += kGreetingDatagramSize;
        break;
      case kind::kVarValue:
        ApplyVarValue(DecodeMessage(at), Channel::kDatagram, limits);
        offset += kMessageSize;
        break;
      case kind::kAircraftState: {
        if (length - offset < kStateSize) return greeting;
        const AircraftStateRecord record = DecodeState(at);
        if (record.checkWord == 0) ApplyAircraftState(record);
        offset += kStateSize;
        break;
      }
      default:
        return greeting;
    }
  }
  return greeting;
}

bool ReceiveDatagrams(platform::Socket socket, std::uint8_t* buffer, PeerFilter& filter,
                      ReceiveLimits& limits) {
  bool greeting = false;
  for (int read = 0; read < kDatagramsPerPass && RoleRunning(); ++read) {
    std::uint32_t source = 0;
    const long n = platform::ReceiveFrom(socket, buffer, kDatagramReadSize, &source);
    if (n < 0) break;
    if (!filter.Admits(source, "datagram") || n < static_cast<long>(kMessageSize)) continue;
    if (WalkDatagram(buffer, static_cast<std::size_t>(n), limits)) greeting = true;
  }
  return greeting;
}
