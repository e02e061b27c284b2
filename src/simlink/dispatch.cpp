#include "simlink/dispatch.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/module_state.h"
#include "lvars/fixed_ids.h"
#include "platform/platform.h"
#include "simlink/close_follow.h"
#include "simlink/definitions.h"
#include "simlink/easing.h"
#include "simlink/key_event_relay.h"
#include "simlink/sim_data.h"
#include "simlink/simconnect_health.h"

namespace {

constexpr std::size_t kDataOffset = offsetof(SimConnectRecvSimObjectData, dwData);
constexpr std::size_t kAircraftStateBytes = kAircraftStateFieldCount * sizeof(double);

// Client events above this id are key events handed over by the simulator:
// key event id = client event id - 300 + 0x10000.
constexpr SimConnectDword kLastPlainClientEvent = 300;
constexpr std::uint32_t kKeyEventIdOffset = 0x10000 - kLastPlainClientEvent;

constexpr double kSpoilerArmed = 10.0;
constexpr double kSpoilerFull = 100.0;
constexpr std::int32_t kAxisFullScale = 16383;

void HandleOpen() {
  Store(simThread.sharedState->axisToggle->pending, 0);
  simThread.lastSimConnectResult =
      SimConnect_SubscribeToSystemEvent(simThread.simConnect, client_event::kSimStart, "SimStart");
  MakeDataDefinitions();
}

void RequestAircraftState() {
  simThread.lastSimConnectResult = SimConnect_RequestDataOnSimObject(
      simThread.simConnect, kAircraftStateRequest, definition::kAircraftState,
      simconnect::kObjectIdUser, simconnect::kPeriodSimFrame, simconnect::kDataRequestFlagChanged,
      0, 0, 0);
}

void SetSpoilerAnimation(double value) {
  CockpitVars& vars = *simThread.sharedState->vars;
  Store(vars.value[slot::kSpoilerAnim], value);
  WriteFixed(slot::kSpoilerAnimId, value);
}

void ToggleAxis() {
  AxisToggle& toggle = *simThread.sharedState->axisToggle;
  Store(toggle.axisValue, Load(toggle.axisValue) <= 0 ? kAxisFullScale : -kAxisFullScale);
  Store(toggle.pending, 1);
}

void HandleTiller(SimConnectDword data) {
  CockpitVars& vars = *simThread.sharedState->vars;
  if (Load(vars.value[slot::kTillerEnabled]) != 1.0) return;
  const double value = static_cast<double>(static_cast<std::int32_t>(data));
  Store(vars.value[slot::kTillerData], value);
  TransmitTiller(value);
}

void HandleEvent(const SimConnectRecvEvent& event) {
  const SimConnectDword id = event.uEventID;
  if (id > kLastPlainClientEvent) {
    KeyEventRelay(id + kKeyEventIdOffset, event.dwData, nullptr);
    return;
  }
  // Every id not named here is ignored.
  switch (id) {
    case client_event::kSimStart:
      RequestAircraftState();
      break;
    case client_event::kSpoilerArm:
    case client_event::kSpoilerArmAlternate:
      SetSpoilerAnimation(kSpoilerArmed);
      break;
    case client_event::kSpoilerRetract:
      SetSpoilerAnimation(0.0);
      break;
    case client_event::kSpoilerArmToggle:
      SetSpoilerAnimation(CockpitValue(slot::kSpoilerAnim) < kSpoilerArmed ? kSpoilerArmed : 0.0);
      break;
    case client_event::kAxisToggle:
      ToggleAxis();
      break;
    case client_event::kSpoilerFull:
      SetSpoilerAnimation(kSpoilerFull);
      break;
    case client_event::kTillerInput:
    case client_event::kTillerInputAlternate:
      HandleTiller(event.dwData);
      break;
    default:
      break;
  }
}

void HandleData(const SimConnectRecvSimObjectData& message) {
  if (message.dwRequestID != kAircraftStateRequest) return;
  const auto* data = reinterpret_cast<const unsigned char*>(&message) + kDataOffset;
  AircraftState& aircraft = *simThread.sharedState->aircraft;
  for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) {
    double value;
    std::memcpy(&value, data + i * sizeof(double), sizeof(double));
    Store(aircraft.*kAircraftStateFields[i].field, value);
  }
  // "MP_CONN" that compares unordered with 0 counts as set.
  const bool following = CockpitValue(slot::kMpConn) != 0.0 && Load(roleState.isFollower) != 0;
  if (following) {
    const platform::DoublePrecisionScope precision;
    EaseAircraft(*simThread.sharedState);
  } else {
    ResetSmoothedValues(*simThread.sharedState);
    if (Load(roleSetup.closeFollow)) {
      const platform::DoublePrecisionScope precision;
      FollowTrack& track = simThread.followTrack;
      TrackOwnAircraft(*simThread.sharedState, track, FollowClockNs(track));
    }
  }
}

}  // namespace

void MS_STDCALL SimConnectDispatch(SimConnectRecv* message, SimConnectDword size, void*) {
  assert(OnSimulatorThread());
  // After a quit every message is dropped: handling one would call SimConnect.
  if (!SimConnectLive()) return;
  // A message shorter than its record would be read past its end; none is
  // expected, so it is dropped like an unhandled one.
  switch (message->dwID) {
    case simconnect::kRecvIdException:
      if (size >= sizeof(SimConnectRecvException)) {
        NoteSimConnectException(*reinterpret_cast<const SimConnectRecvException*>(message));
      }
      break;
    case simconnect::kRecvIdQuit:
      NoteSimConnectQuit();
      break;
    case simconnect::kRecvIdOpen:
      HandleOpen();
      break;
    case simconnect::kRecvIdEvent:
      if (size >= sizeof(SimConnectRecvEvent)) {
        HandleEvent(*reinterpret_cast<const SimConnectRecvEvent*>(message));
      }
      break;
    case simconnect::kRecvIdSimObjectData:
      if (size >= kDataOffset + kAircraftStateBytes) {
        HandleData(*reinterpret_cast<const SimConnectRecvSimObjectData*>(message));
      }
      break;
    default:
      break;
  }
}
