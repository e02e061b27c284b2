#include "common/shared_state.h"

#include <algorithm>

constexpr std::array<AircraftStateField, kAircraftStateFieldCount> kAircraftStateFields = {{
    {&AircraftState::totalWeight, "TOTAL WEIGHT", "Pounds"},
    {&AircraftState::planeAltitude, "PLANE ALTITUDE", "Feet"},
    {&AircraftState::airspeedIndicated, "Airspeed indicated", "knots"},
    {&AircraftState::airspeedMach, "Airspeed mach", "machs"},
    {&AircraftState::velocityWorldZ, "VELOCITY WORLD Z", "Feet per second"},
    {&AircraftState::velocityBodyZ, "VELOCITY BODY Z", "Feet per second"},
    {&AircraftState::velocityBodyX, "VELOCITY BODY X", "Feet per second"},
    {&AircraftState::velocityBodyY, "VELOCITY BODY Y", "Feet per second"},
    {&AircraftState::airspeedTrue, "AIRSPEED TRUE", "knots"},
    {&AircraftState::leadingEdgeFlapsLeftPercent, "LEADING EDGE FLAPS LEFT PERCENT", "percent"},
    {&AircraftState::gForce, "G FORCE", "GForce"},
    {&AircraftState::planeBankDegrees, "PLANE BANK DEGREES", "degrees"},
    {&AircraftState::planePitchDegrees, "PLANE PITCH DEGREES", "degrees"},
    {&AircraftState::planeLatitude, "PLANE LATITUDE", "degrees"},
    {&AircraftState::planeLongitude, "PLANE LONGITUDE", "degrees"},
    {&AircraftState::deltaHeadingRate, "DELTA HEADING RATE", "Radians per second"},
    {&AircraftState::planeHeadingDegreesTrue, "PLANE HEADING DEGREES TRUE", "degrees"},
    {&AircraftState::gpsGroundMagneticTrack, "GPS GROUND MAGNETIC TRACK", "Radians"},
    {&AircraftState::groundVelocity, "GROUND VELOCITY", "knots"},
    {&AircraftState::brakeLeftPosition, "BRAKE LEFT POSITION", "percent"},
    {&AircraftState::brakeRightPosition, "BRAKE RIGHT POSITION", "percent"},
    {&AircraftState::absoluteTime, "ABSOLUTE TIME", "seconds"},
    {&AircraftState::simOnGround, "SIM ON GROUND", "bool"},
    {&AircraftState::gearHandlePosition, "GEAR HANDLE POSITION", "bool"},
    {&AircraftState::verticalSpeed, "VERTICAL SPEED", "feet per second"},
    {&AircraftState::reverseNozzle1, "TURB ENG REVERSE NOZZLE PERCENT:1", "percent"},
    {&AircraftState::reverseNozzle2, "TURB ENG REVERSE NOZZLE PERCENT:2", "percent"},
    {&AircraftState::rotationVelocityBodyZ, "ROTATION VELOCITY BODY Z", "degree per second"},
    {&AircraftState::rotationVelocityBodyX, "ROTATION VELOCITY BODY X", "degree per second"},
    {&AircraftState::rotationVelocityBodyY, "ROTATION VELOCITY BODY Y", "degree per second"},
    {&AircraftState::accelerationBodyZ, "ACCELERATION BODY Z", "Feet per second squared"},
    {&AircraftState::accelerationBodyX, "ACCELERATION BODY X", "Feet per second squared"},
    {&AircraftState::accelerationBodyY, "ACCELERATION BODY Y", "Feet per second squared"},
    {&AircraftState::aileronPosition, "AILERON POSITION", "position"},
    {&AircraftState::elevatorPosition, "ELEVATOR POSITION", "position"},
    {&AircraftState::elevatorTrimPosition, "ELEVATOR TRIM POSITION", "Radians"},
    {&AircraftState::brakeParkingPosition, "BRAKE PARKING POSITION", "bool"},
    {&AircraftState::comStandbyFrequency1, "COM STANDBY FREQUENCY:1", "Number"},
    {&AircraftState::comActiveFrequency1, "COM ACTIVE FREQUENCY:1", "Number"},
    {&AircraftState::comStandbyFrequency2, "COM STANDBY FREQUENCY:2", "Number"},
    {&AircraftState::comActiveFrequency2, "COM ACTIVE FREQUENCY:2", "Number"},
}};

namespace {
constexpr bool EachFieldOnce() {
  for (std::size_t i = 0; i < kAircraftStateFields.size(); ++i) {
    for (std::size_t j = i + 1; j < kAircraftStateFields.size(); ++j) {
      if (kAircraftStateFields[i].field == kAircraftStateFields[j].field) return false;
    }
  }
  return true;
}
}  // namespace

// The record holds exactly the table's count of doubles, so distinct entries
// cover every field: AircraftStateFieldOf always finds its entry.
static_assert(EachFieldOnce(), "a field has two entries");

const AircraftStateField& AircraftStateFieldOf(AtomicDouble AircraftState::*field) {
  return *std::find_if(kAircraftStateFields.begin(), kAircraftStateFields.end(),
                       [field](const AircraftStateField& entry) { return entry.field == field; });
}
