// The module's SimConnect data definitions, request and client event ids.
#pragma once

#include <array>
#include <cstddef>

#include "common/shared_state.h"
#include "common/simconnect_api.h"

// Data definition ids. The aircraft-state set carries 41 variables; every
// other definition carries one, so that a single value can be set alone.
namespace definition {
inline constexpr SimConnectDword kElevatorPosition = 0;
inline constexpr SimConnectDword kAileronPosition = 1;
inline constexpr SimConnectDword kElevatorTrim = 2;
inline constexpr SimConnectDword kAccelBodyZ = 13;
inline constexpr SimConnectDword kAccelBodyX = 14;
inline constexpr SimConnectDword kAccelBodyY = 15;
inline constexpr SimConnectDword kRotationBodyX = 16;
inline constexpr SimConnectDword kRotationBodyY = 17;
inline constexpr SimConnectDword kRotationBodyZ = 18;
inline constexpr SimConnectDword kVelocityBodyZ = 19;
inline constexpr SimConnectDword kVelocityBodyX = 20;
inline constexpr SimConnectDword kVelocityBodyY = 21;
inline constexpr SimConnectDword kBank = 25;
inline constexpr SimConnectDword kPitch = 26;
inline constexpr SimConnectDword kAltitude = 27;
inline constexpr SimConnectDword kHeading = 28;
inline constexpr SimConnectDword kDeltaHeadingRate = 29;
inline constexpr SimConnectDword kLongitude = 30;
inline constexpr SimConnectDword kLatitude = 31;
inline constexpr SimConnectDword kGearHandle = 32;
inline constexpr SimConnectDword kAircraftState = 34;
inline constexpr SimConnectDword kGForce = 35;
inline constexpr SimConnectDword kVerticalSpeed = 36;
inline constexpr SimConnectDword kAirspeedIndicated = 37;
inline constexpr SimConnectDword kVelocityWorldZ = 38;
}  // namespace definition

// The one data request: the aircraft state, every frame in which it changed.
inline constexpr SimConnectDword kAircraftStateRequest = 0;

// Client event ids the module uses. Arming the spoiler lever and moving the
// tiller each arrive under two ids, which the module treats alike.
namespace client_event {
inline constexpr SimConnectDword kSimStart = 0;
inline constexpr SimConnectDword kSpoilerArm = 22;
inline constexpr SimConnectDword kSpoilerRetract = 23;
inline constexpr SimConnectDword kSpoilerArmToggle = 24;
inline constexpr SimConnectDword kAxisToggle = 25;
inline constexpr SimConnectDword kSpoilerFull = 26;
inline constexpr SimConnectDword kSpoilerArmAlternate = 27;
// Transmitted to the aircraft with the tiller's position.
inline constexpr SimConnectDword kTiller = 56;
// Received with the tiller's position as the pilot moves it.
inline constexpr SimConnectDword kTillerInput = 57;
inline constexpr SimConnectDword kTillerInputAlternate = 58;
}  // namespace client_event

// A one-entry definition of an aircraft-state variable: its simulation
// variable and unit are those of the field's entry in kAircraftStateFields.
struct SingleDefinition {
  SimConnectDword defineId;
  AtomicDouble AircraftState::*field;
};
inline constexpr std::size_t kSingleDefinitionCount = 24;
// The one-entry definitions, in the order they are made.
extern const std::array<SingleDefinition, kSingleDefinitionCount> kSingleDefinitions;

// Makes the aircraft-state definition, then the one-entry definitions; each
// call's result goes to lastSimConnectResult.
void MakeDataDefinitions();
