// The binary records of both channels. Each record is laid out as the struct
// below describes it on a little-endian machine; the encoders write every
// field at its offset byte by byte, so the wire format does not depend on the
// compiler's layout or the host's byte order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/shared_state.h"

// Message kinds.
namespace kind {
inline constexpr std::int32_t kGreeting = 0;
inline constexpr std::int32_t kVarValue = 1;
inline constexpr std::int32_t kFollowerFlag = 2;
inline constexpr std::int32_t kGearHandle = 8;
inline constexpr std::int32_t kAircraftState = 23;
inline constexpr std::int32_t kKeyEvent = 24;
}  // namespace kind

struct alignas(8) MessageRecord {
  std::int32_t kind = 0;
  std::int32_t index = 0;
  double value = 0.0;
  double extra = 0.0;
};
static_assert(offsetof(MessageRecord, kind) == 0);
static_assert(offsetof(MessageRecord, index) == 4);
static_assert(offsetof(MessageRecord, value) == 8);
static_assert(offsetof(MessageRecord, extra) == 16);
static_assert(sizeof(MessageRecord) == 24);

struct alignas(8) AircraftStateRecord {
  std::int32_t kind = kind::kAircraftState;
  std::int32_t padding1 = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double heading = 0.0;
  double pitch = 0.0;
  double bank = 0.0;
  double accelBodyZ = 0.0;
  double accelBodyX = 0.0;
  double accelBodyY = 0.0;
  double velocityBodyZ = 0.0;
  double velocityBodyY = 0.0;
  double altitude = 0.0;
  double elevatorTrim = 0.0;
  double verticalSpeed = 0.0;
  double velocityBodyX = 0.0;
  double airspeed = 0.0;
  std::int32_t checkWord = 0;
  std::int32_t padding2 = 0;
};
static_assert(offsetof(AircraftStateRecord, kind) == 0);
static_assert(offsetof(AircraftStateRecord, padding1) == 4);
static_assert(offsetof(AircraftStateRecord, latitude) == 8);
static_assert(offsetof(AircraftStateRecord, longitude) == 16);
static_assert(offsetof(AircraftStateRecord, heading) == 24);
static_assert(offsetof(AircraftStateRecord, pitch) == 32);
static_assert(offsetof(AircraftStateRecord, bank) == 40);
static_assert(offsetof(AircraftStateRecord, accelBodyZ) == 48);
static_assert(offsetof(AircraftStateRecord, accelBodyX) == 56);
static_assert(offsetof(AircraftStateRecord, accelBodyY) == 64);
static_assert(offsetof(AircraftStateRecord, velocityBodyZ) == 72);
static_assert(offsetof(AircraftStateRecord, velocityBodyY) == 80);
static_assert(offsetof(AircraftStateRecord, altitude) == 88);
static_assert(offsetof(AircraftStateRecord, elevatorTrim) == 96);
static_assert(offsetof(AircraftStateRecord, verticalSpeed) == 104);
static_assert(offsetof(AircraftStateRecord, velocityBodyX) == 112);
static_assert(offsetof(AircraftStateRecord, airspeed) == 120);
static_assert(offsetof(AircraftStateRecord, checkWord) == 128);
static_assert(offsetof(AircraftStateRecord, padding2) == 132);
static_assert(sizeof(AircraftStateRecord) == 136);

inline constexpr std::size_t kMessageSize = sizeof(MessageRecord);
inline constexpr std::size_t kStateSize = sizeof(AircraftStateRecord);
// The datagram greeting has the size of a state record; only its kind counts.
inline constexpr std::size_t kGreetingDatagramSize = kStateSize;

using MessageBytes = std::array<std::uint8_t, kMessageSize>;
using StateBytes = std::array<std::uint8_t, kStateSize>;

// A record of `kind` whose index is `index` truncated toward zero, keeping the
// low 32 bits, as the callers pass table indices and key ids as doubles.
MessageRecord MakeMessage(std::int32_t kind, double index, double value, double extra);

MessageBytes EncodeMessage(const MessageRecord& record);
StateBytes EncodeState(const AircraftStateRecord& record);
// Read a record from the first 24 or 136 bytes at `bytes`.
MessageRecord DecodeMessage(const std::uint8_t* bytes);
AircraftStateRecord DecodeState(const std::uint8_t* bytes);
// The kind word at the start of any record.
std::int32_t DecodeKind(const std::uint8_t* bytes);

// A state record from the local aircraft, check word 0.
AircraftStateRecord StateRecordFrom(const AircraftState& aircraft);
