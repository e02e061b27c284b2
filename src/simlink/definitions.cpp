#include "simlink/definitions.h"

#include "common/module_state.h"
#include "common/shared_state.h"

const std::array<SingleDefinition, kSingleDefinitionCount> kSingleDefinitions = {{
    {definition::kLatitude, &AircraftState::planeLatitude},
    {definition::kLongitude, &AircraftState::planeLongitude},
    {definition::kBank, &AircraftState::planeBankDegrees},
    {definition::kPitch, &AircraftState::planePitchDegrees},
    {definition::kAltitude, &AircraftState::planeAltitude},
    {definition::kHeading, &AircraftState::planeHeadingDegreesTrue},
    {definition::kDeltaHeadingRate, &AircraftState::deltaHeadingRate},
    {definition::kRotationBodyZ, &AircraftState::rotationVelocityBodyZ},
    {definition::kRotationBodyX, &AircraftState::rotationVelocityBodyX},
    {definition::kRotationBodyY, &AircraftState::rotationVelocityBodyY},
    {definition::kAccelBodyZ, &AircraftState::accelerationBodyZ},
    {definition::kAccelBodyX, &AircraftState::accelerationBodyX},
    {definition::kAccelBodyY, &AircraftState::accelerationBodyY},
    {definition::kVelocityBodyZ, &AircraftState::velocityBodyZ},
    {definition::kVelocityBodyX, &AircraftState::velocityBodyX},
    {definition::kVelocityBodyY, &AircraftState::velocityBodyY},
    {definition::kVerticalSpeed, &AircraftState::verticalSpeed},
    {definition::kAileronPosition, &AircraftState::aileronPosition},
    {definition::kElevatorPosition, &AircraftState::elevatorPosition},
    {definition::kElevatorTrim, &AircraftState::elevatorTrimPosition},
    {definition::kGearHandle, &AircraftState::gearHandlePosition},
    {definition::kGForce, &AircraftState::gForce},
    {definition::kAirspeedIndicated, &AircraftState::airspeedIndicated},
    {definition::kVelocityWorldZ, &AircraftState::velocityWorldZ},
}};

namespace {
void AddEntry(SimConnectDword defineId, const char* simVar, const char* unit) {
  simThread.lastSimConnectResult =
      SimConnect_AddToDataDefinition(simThread.simConnect, defineId, simVar, unit,
                                     simconnect::kDataTypeFloat64, 0.0f, simconnect::kUnused);
}
}  // namespace

void MakeDataDefinitions() {
  for (const AircraftStateField& field : kAircraftStateFields) {
    AddEntry(definition::kAircraftState, field.simVar, field.unit);
  }
  for (const SingleDefinition& single : kSingleDefinitions) {
    const AircraftStateField& source = AircraftStateFieldOf(single.field);
    AddEntry(single.defineId, source.simVar, source.unit);
  }
}
