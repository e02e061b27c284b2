#include "net/wire_records.h"

#include <bit>

#include "common/low_word.h"
#include "simlink/eased_values.h"

namespace {

void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutU64(std::uint8_t* at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutI32(std::uint8_t* at, std::int32_t v) { PutU32(at, static_cast<std::uint32_t>(v)); }
void PutDouble(std::uint8_t* at, double v) { PutU64(at, std::bit_cast<std::uint64_t>(v)); }

std::uint32_t GetU32(const std::uint8_t* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{at[i]} << (8 * i);
  return v;
}
std::uint64_t GetU64(const std::uint8_t* at) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= std::uint64_t{at[i]} << (8 * i);
  return v;
}
std::int32_t GetI32(const std::uint8_t* at) { return static_cast<std::int32_t>(GetU32(at)); }
double GetDouble(const std::uint8_t* at) { return std::bit_cast<double>(GetU64(at)); }

}  // namespace

MessageRecord MakeMessage(std::int32_t kind, double index, double value, double extra) {
  return MessageRecord{kind, static_cast<std::int32_t>(LowWord(index)), value, extra};
}

MessageBytes EncodeMessage(const MessageRecord& record) {
  MessageBytes bytes{};
  PutI32(bytes.data() + offsetof(MessageRecord, kind), record.kind);
  PutI32(bytes.data() + offsetof(MessageRecord, index), record.index);
  PutDouble(bytes.data() + offsetof(MessageRecord, value), record.value);
  PutDouble(bytes.data() + offsetof(MessageRecord, extra), record.extra);
  return bytes;
}

MessageRecord DecodeMessage(const std::uint8_t* bytes) {
  return MessageRecord{GetI32(bytes + offsetof(MessageRecord, kind)),
                       GetI32(bytes + offsetof(MessageRecord, index)),
                       GetDouble(bytes + offsetof(MessageRecord, value)),
                       GetDouble(bytes + offsetof(MessageRecord, extra))};
}

namespace {
// Byte offset of a double field of the state record.
std::size_t OffsetOf(double AircraftStateRecord::*field) {
  static const AircraftStateRecord probe{};
  return static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(&(probe.*field)) -
                                  reinterpret_cast<const std::uint8_t*>(&probe));
}
}  // namespace

StateBytes EncodeState(const AircraftStateRecord& record) {
  StateBytes bytes{};
  PutI32(bytes.data() + offsetof(AircraftStateRecord, kind), record.kind);
  for (const EasedValue& field : kEasedValues) {
    PutDouble(bytes.data() + OffsetOf(field.wire), record.*field.wire);
  }
  PutI32(bytes.data() + offsetof(AircraftStateRecord, checkWord), record.checkWord);
  return bytes;
}

AircraftStateRecord DecodeState(const std::uint8_t* bytes) {
  AircraftStateRecord record;
  record.kind = GetI32(bytes + offsetof(AircraftStateRecord, kind));
  for (const EasedValue& field : kEasedValues) {
    record.*field.wire = GetDouble(bytes + OffsetOf(field.wire));
  }
  record.checkWord = GetI32(bytes + offsetof(AircraftStateRecord, checkWord));
  return record;
}

std::int32_t DecodeKind(const std::uint8_t* bytes) { return GetI32(bytes); }

AircraftStateRecord StateRecordFrom(const AircraftState& aircraft) {
  AircraftStateRecord record;
  for (const EasedValue& field : kEasedValues) {
    record.*field.wire = (aircraft.*field.source).load(std::memory_order_relaxed);
  }
  return record;
}
