#include "simlink/definitions.h"

#include "common/module_state.h"
#include "common/shared_state.h"

const std::array<SingleDefinition, kSingleDefinitionCount> kSingleDefinitions = {{
    {definition::kLatitude, "PLANE LATITUDE", "degrees"},
    {definition::kLongitude, "PLANE LONGITUDE", "degrees"},
    {definition::kBank, "PLANE BANK DEGREES", "degrees"},
    {definition::kPitch, "PLANE PITCH DEGREES", "degrees"},
    {definition::kAltitude, "PLANE ALTITUDE", "Feet"},
    {definition::kHeading, "PLANE HEADING DEGREES TRUE", "degrees"},
    {definition::kDeltaHeadingRate, "DELTA HEADING RATE", "Radians per second"},
    {definition::kRotationBodyZ, "ROTATION VELOCITY BODY Z", "degree per second"},
    {definition::kRotationBodyX, "ROTATION VELOCITY BODY X", "degree per second"},
    {definition::kRotationBodyY, "ROTATION VELOCITY BODY Y", "degree per second"},
    {definition::kAccelBodyZ, "ACCELERATION BODY Z", "Feet per second squared"},
    {definition::kAccelBodyX, "ACCELERATION BODY X", "Feet per second squared"},
    {definition::kAccelBodyY, "ACCELERATION BODY Y", "Feet per second squared"},
    {definition::kVelocityBodyZ, "VELOCITY BODY Z", "Feet per second"},
    {definition::kVelocityBodyX, "VELOCITY BODY X", "Feet per second"},
    {definition::kVelocityBodyY, "VELOCITY BODY Y", "Feet per second"},
    {definition::kVerticalSpeed, "VERTICAL SPEED", "feet per second"},
    {definition::kAileronPosition, "AILERON POSITION", "position"},
    {definition::kElevatorPosition, "ELEVATOR POSITION", "position"},
    {definition::kElevatorTrim, "ELEVATOR TRIM POSITION", "Radians"},
    {definition::kGearHandle, "GEAR HANDLE POSITION", "bool"},
    {definition::kGForce, "G FORCE", "GForce"},
    {definition::kAirspeedIndicated, "Airspeed indicated", "knots"},
    {definition::kVelocityWorldZ, "VELOCITY WORLD Z", "Feet per second"},
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
    AddEntry(single.defineId, single.simVar, single.unit);
  }
}
