#include "simlink/key_event_relay.h"

#include <algorithm>
#include <array>

#include "common/module_state.h"
#include "net/wire_records.h"
#include "session/role_send.h"

namespace {

enum class RelayWhen {
  kAlways,
  kParkingBrakeOrFollowing,
  kFollowing,
};

struct RelayedKeyEvent {
  std::uint32_t id;
  RelayWhen when;
};

// Sorted by id for the binary search.
constexpr std::array<RelayedKeyEvent, 40> kRelayedKeyEvents = {{
    {0x10034, RelayWhen::kParkingBrakeOrFollowing},
    {0x10042, RelayWhen::kAlways},
    {0x10044, RelayWhen::kAlways},
    {0x10051, RelayWhen::kAlways},
    {0x100AA, RelayWhen::kFollowing},
    {0x100B3, RelayWhen::kAlways},
    {0x100B8, RelayWhen::kParkingBrakeOrFollowing},
    {0x100B9, RelayWhen::kParkingBrakeOrFollowing},
    {0x100D6, RelayWhen::kAlways},
    {0x100D8, RelayWhen::kAlways},
    {0x10128, RelayWhen::kAlways},
    {0x10129, RelayWhen::kAlways},
    {0x1012A, RelayWhen::kAlways},
    {0x1012D, RelayWhen::kAlways},
    {0x1012E, RelayWhen::kAlways},
    {0x1012F, RelayWhen::kAlways},
    {0x101AE, RelayWhen::kAlways},
    {0x101AF, RelayWhen::kAlways},
    {0x101B3, RelayWhen::kAlways},
    {0x101B4, RelayWhen::kAlways},
    {0x1020B, RelayWhen::kAlways},
    {0x1020C, RelayWhen::kAlways},
    {0x102E6, RelayWhen::kAlways},
    {0x102E7, RelayWhen::kAlways},
    {0x10348, RelayWhen::kAlways},
    {0x1034A, RelayWhen::kAlways},
    {0x1034B, RelayWhen::kAlways},
    {0x10353, RelayWhen::kParkingBrakeOrFollowing},
    {0x10354, RelayWhen::kParkingBrakeOrFollowing},
    {0x10355, RelayWhen::kAlways},
    {0x1039F, RelayWhen::kAlways},
    {0x103A0, RelayWhen::kAlways},
    {0x103A1, RelayWhen::kAlways},
    {0x103AD, RelayWhen::kAlways},
    {0x103FD, RelayWhen::kAlways},
    {0x103FE, RelayWhen::kAlways},
    {0x10413, RelayWhen::kAlways},
    {0x1044A, RelayWhen::kAlways},
    {0x1044B, RelayWhen::kAlways},
    {0x1044C, RelayWhen::kAlways},
}};

constexpr bool ById(const RelayedKeyEvent& a, const RelayedKeyEvent& b) { return a.id < b.id; }
constexpr std::size_t CountWhen(RelayWhen when) {
  return static_cast<std::size_t>(std::count_if(kRelayedKeyEvents.begin(), kRelayedKeyEvents.end(),
                                                [when](const auto& e) { return e.when == when; }));
}
static_assert(std::adjacent_find(kRelayedKeyEvents.begin(), kRelayedKeyEvents.end(),
                                 [](const auto& a, const auto& b) { return !ById(a, b); }) ==
                  kRelayedKeyEvents.end(),
              "ids must be strictly ascending");
static_assert(CountWhen(RelayWhen::kAlways) == 34);
static_assert(CountWhen(RelayWhen::kParkingBrakeOrFollowing) == 5);
static_assert(CountWhen(RelayWhen::kFollowing) == 1);

bool ParkingBrakeSet() {
  // Before module start and after module stop there is no aircraft state.
  const AircraftState* aircraft =
      simThread.sharedState != nullptr ? simThread.sharedState->aircraft : nullptr;
  // A value that compares unordered with 0 counts as set.
  return aircraft != nullptr && Load(aircraft->brakeParkingPosition) != 0.0;
}

}  // namespace

bool IsRelayedKeyEvent(std::uint32_t id) {
  const auto it = std::lower_bound(kRelayedKeyEvents.begin(), kRelayedKeyEvents.end(),
                                   RelayedKeyEvent{id, RelayWhen::kAlways}, ById);
  if (it == kRelayedKeyEvents.end() || it->id != id) return false;
  const bool following = Load(roleState.isFollower) != 0;
  switch (it->when) {
    case RelayWhen::kAlways:
      return true;
    case RelayWhen::kParkingBrakeOrFollowing:
      return following || ParkingBrakeSet();
    case RelayWhen::kFollowing:
      return following;
  }
  return false;
}

void KeyEventRelay(std::uint32_t id, std::uint32_t data, void*) {
  if (id == kMarkerEventId) {
    Store(simThread.suppressEvent, data);
    Store(simThread.suppressData, data);
  } else if (id == kMarkerEventData) {
    Store(simThread.suppressData, data);
  }
  if (!IsRelayedKeyEvent(id)) return;
  // The event the peer just had replayed here must not go back to it.
  if (id == Load(simThread.suppressEvent) && data == Load(simThread.suppressData)) {
    Store(simThread.suppressEvent, 0);
    Store(simThread.suppressData, 0);
    return;
  }
  if (!Load(roleSetup.roleStarted) || Load(roleState.isFollower) == 0) return;
  SendReliableThroughRole(kind::kKeyEvent, 0.0, static_cast<double>(data), static_cast<double>(id));
}
