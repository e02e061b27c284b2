// The one process-wide record in which the simulator thread and the role
// threads meet.
//
// Who writes what (no lock anywhere; every shared field is an atomic, relaxed,
// written whole by one side and read by the others):
//   simulator thread: AircraftState (each data block), SmoothedValue::current
//     and ::divisor (easing and reset), most CockpitVars::value slots (polls),
//     CockpitVars::id and ::resolved (gauge creation, then each poll until
//     resolved), AxisToggle.
//   role threads: SmoothedValue::target (received aircraft state),
//     lastGearHandle (the send thread, and the receive thread as it sends the
//     gear in the exchange after the hellos), CockpitVars::value slots kKeysClear, kMpTgl
//     and kShownStatus.
// A reader may see the fields of one record from two different updates.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

using AtomicDouble = std::atomic<double>;
static_assert(sizeof(AtomicDouble) == 8 && alignof(AtomicDouble) == 8);
static_assert(AtomicDouble::is_always_lock_free);

struct SmoothedValue {
  double current = 0.0;  // simulator thread only
  AtomicDouble target{0.0};
  double divisor = 0.0;  // simulator thread only
};
static_assert(offsetof(SmoothedValue, target) == 8 && sizeof(SmoothedValue) == 24);

// The 41 doubles of the aircraft-state data definition, in definition order.
struct AircraftState {
  AtomicDouble totalWeight;
  AtomicDouble planeAltitude;
  AtomicDouble airspeedIndicated;
  AtomicDouble airspeedMach;
  AtomicDouble velocityWorldZ;
  AtomicDouble velocityBodyZ;
  AtomicDouble velocityBodyX;
  AtomicDouble velocityBodyY;
  AtomicDouble airspeedTrue;
  AtomicDouble leadingEdgeFlapsLeftPercent;
  AtomicDouble gForce;
  AtomicDouble planeBankDegrees;
  AtomicDouble planePitchDegrees;
  AtomicDouble planeLatitude;
  AtomicDouble planeLongitude;
  AtomicDouble deltaHeadingRate;
  AtomicDouble planeHeadingDegreesTrue;
  AtomicDouble gpsGroundMagneticTrack;
  AtomicDouble groundVelocity;
  AtomicDouble brakeLeftPosition;
  AtomicDouble brakeRightPosition;
  AtomicDouble absoluteTime;
  AtomicDouble simOnGround;
  AtomicDouble gearHandlePosition;
  AtomicDouble verticalSpeed;
  AtomicDouble reverseNozzle1;
  AtomicDouble reverseNozzle2;
  AtomicDouble rotationVelocityBodyZ;
  AtomicDouble rotationVelocityBodyX;
  AtomicDouble rotationVelocityBodyY;
  AtomicDouble accelerationBodyZ;
  AtomicDouble accelerationBodyX;
  AtomicDouble accelerationBodyY;
  AtomicDouble aileronPosition;
  AtomicDouble elevatorPosition;
  AtomicDouble elevatorTrimPosition;
  AtomicDouble brakeParkingPosition;
  AtomicDouble comStandbyFrequency1;
  AtomicDouble comActiveFrequency1;
  AtomicDouble comStandbyFrequency2;
  AtomicDouble comActiveFrequency2;
};
inline constexpr std::size_t kAircraftStateFieldCount = 41;
static_assert(sizeof(AircraftState) == kAircraftStateFieldCount * sizeof(double));
static_assert(offsetof(AircraftState, planeLatitude) == 13 * 8);
static_assert(offsetof(AircraftState, gearHandlePosition) == 23 * 8);
static_assert(offsetof(AircraftState, comActiveFrequency2) == 40 * 8);

// One entry of the aircraft-state data definition: the field, its simulation
// variable and unit, in definition order.
struct AircraftStateField {
  AtomicDouble AircraftState::*field;
  const char* simVar;
  const char* unit;
};
extern const std::array<AircraftStateField, kAircraftStateFieldCount> kAircraftStateFields;
// The entry of kAircraftStateFields that carries the field.
const AircraftStateField& AircraftStateFieldOf(AtomicDouble AircraftState::*field);

struct AxisToggle {
  std::atomic<std::uint8_t> pending;
  std::atomic<std::int32_t> axisValue;
  std::uint8_t reserved[8];
};

inline constexpr std::size_t kCockpitValueSlots = 90;
inline constexpr std::size_t kCockpitIdSlots = 84;

struct CockpitVars {
  AtomicDouble value[kCockpitValueSlots];
  std::atomic<std::uint32_t> id[kCockpitIdSlots];
  // Whether id[n] holds the simulator's identifier of its name: every value,
  // 0 included, can be one. Set (release) after the id is stored.
  std::atomic<bool> resolved[kCockpitIdSlots];
};
static_assert(offsetof(CockpitVars, id) == kCockpitValueSlots * 8);

struct SharedState {
  CockpitVars* vars = nullptr;
  AircraftState* aircraft = nullptr;
  AxisToggle* axisToggle = nullptr;
  SmoothedValue latitude;
  SmoothedValue longitude;
  SmoothedValue heading;
  SmoothedValue pitch;
  SmoothedValue bank;
  SmoothedValue accelBodyZ;
  SmoothedValue accelBodyX;
  SmoothedValue accelBodyY;
  SmoothedValue velocityBodyZ;
  SmoothedValue velocityBodyX;
  SmoothedValue velocityBodyY;
  SmoothedValue altitude;
  SmoothedValue elevatorTrim;
  SmoothedValue verticalSpeed;
  SmoothedValue airspeed;
  AtomicDouble lastGearHandle{0.0};
};
static_assert(offsetof(SharedState, latitude) % 8 == 0);

// Slots of CockpitVars used by name in the code.
namespace slot {
inline constexpr std::size_t kTillerEnabled = 0;   // value and id
inline constexpr std::size_t kMpConn = 3;          // value and id
inline constexpr std::size_t kMpStart = 9;         // value and id
inline constexpr std::size_t kKeysClear = 17;      // value and id
inline constexpr std::size_t kMpTgl = 18;          // value and id
inline constexpr std::size_t kMpSyncWx = 22;       // value and id
inline constexpr std::size_t kMpSyncDsp = 24;      // value and id
inline constexpr std::size_t kTillerData = 45;     // value only
inline constexpr std::size_t kMpStsId = 74;        // id only
inline constexpr std::size_t kShownStatus = 78;    // value only
inline constexpr std::size_t kSpoilerAnimId = 79;  // id
inline constexpr std::size_t kSpoilerAnim = 83;    // value
}  // namespace slot
