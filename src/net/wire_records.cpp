#include "net/wire_records.h"

#include "common/low_word.h"
#include "net/le_fields.h"
#include "simlink/eased_values.h"

using le::GetDouble;
using le::GetI32;
using le::PutDouble;
using le::PutI32;

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
