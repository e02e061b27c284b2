// The records' bytes on the wire and the numbers in log lines.
#include "net/wire_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/low_word.h"
#include "net/format_number.h"
#include "simlink/eased_values.h"

namespace {

std::vector<int> Bytes(const std::uint8_t* data, std::size_t n) {
  return std::vector<int>(data, data + n);
}

TEST(WireRecords, VarValueAndKeyEventMatchTheirByteImages) {
  const MessageBytes var = EncodeMessage(MakeMessage(kind::kVarValue, 5.0, 1.0, 0.0));
  EXPECT_EQ(Bytes(var.data(), var.size()),
            (std::vector<int>{1, 0, 0,    0,    5, 0, 0, 0, 0, 0, 0, 0,
                              0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0}));

  const MessageBytes key = EncodeMessage(MakeMessage(kind::kKeyEvent, 0.0, 7.0, 66000.0));
  EXPECT_EQ(Bytes(key.data(), key.size()),
            (std::vector<int>{0x18, 0, 0,    0,    0, 0, 0, 0, 0, 0,    0,    0,
                              0,    0, 0x1C, 0x40, 0, 0, 0, 0, 0, 0x1D, 0xF0, 0x40}));

  const MessageRecord back = DecodeMessage(key.data());
  EXPECT_EQ(back.kind, 24);
  EXPECT_EQ(back.index, 0);
  EXPECT_EQ(back.value, 7.0);
  EXPECT_EQ(back.extra, 66000.0);
}

TEST(WireRecords, IndexIsTruncatedTowardZeroKeepingTheLow32Bits) {
  EXPECT_EQ(MakeMessage(1, 3.9, 0, 0).index, 3);
  EXPECT_EQ(MakeMessage(1, -2.5, 0, 0).index, -2);
  EXPECT_EQ(MakeMessage(1, 4294967297.0, 0, 0).index, 1);
  EXPECT_EQ(MakeMessage(1, 1e300, 0, 0).index, 0);
  EXPECT_EQ(LowWord(4294967295.0), 0xFFFFFFFFu);
  EXPECT_EQ(LowWord(-1.0), 0xFFFFFFFFu);
  // Within the 64-bit range up to its very end, and 0 beyond it.
  EXPECT_EQ(LowWord(9.22e18), 0x7D1A0000u);
  EXPECT_EQ(LowWord(9223372036854775808.0), 0u);
}

TEST(WireRecords, StateRecordPutsEachValueAtItsOffset) {
  AircraftState aircraft{};
  // Fifteen distinct values, each at the field the sender reads.
  for (std::size_t i = 0; i < kEasedValues.size(); ++i) {
    (aircraft.*kEasedValues[i].source).store(100.0 + static_cast<double>(i));
  }
  AircraftStateRecord record = StateRecordFrom(aircraft);
  const StateBytes bytes = EncodeState(record);
  ASSERT_EQ(bytes.size(), 136u);
  EXPECT_EQ(Bytes(bytes.data(), 8), (std::vector<int>{23, 0, 0, 0, 0, 0, 0, 0}));
  // Wire order: latitude, longitude, heading, pitch, bank, accel Z/X/Y,
  // velocity Z/Y, altitude, trim, vertical speed, velocity X, airspeed.
  const std::vector<AtomicDouble AircraftState::*> expected = {
      &AircraftState::planeLatitude,           &AircraftState::planeLongitude,
      &AircraftState::planeHeadingDegreesTrue, &AircraftState::planePitchDegrees,
      &AircraftState::planeBankDegrees,        &AircraftState::accelerationBodyZ,
      &AircraftState::accelerationBodyX,       &AircraftState::accelerationBodyY,
      &AircraftState::velocityBodyZ,           &AircraftState::velocityBodyY,
      &AircraftState::planeAltitude,           &AircraftState::elevatorTrimPosition,
      &AircraftState::verticalSpeed,           &AircraftState::velocityBodyX,
      &AircraftState::airspeedIndicated};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    double atOffset = 0;
    std::memcpy(&atOffset, bytes.data() + 8 + 8 * i, 8);
    EXPECT_EQ(atOffset, (aircraft.*expected[i]).load()) << "offset " << 8 + 8 * i;
  }
  EXPECT_EQ(Bytes(bytes.data() + 128, 8), (std::vector<int>(8, 0)));

  record.checkWord = 7;
  const AircraftStateRecord back = DecodeState(EncodeState(record).data());
  EXPECT_EQ(back.checkWord, 7);
  EXPECT_EQ(back.velocityBodyX, record.velocityBodyX);
  EXPECT_EQ(back.airspeed, record.airspeed);
}

TEST(FormatNumber, WritesAsADefaultStream) {
  EXPECT_EQ(FormatNumber(1.0), "1");
  EXPECT_EQ(FormatNumber(0.5), "0.5");
  EXPECT_EQ(FormatNumber(2.5), "2.5");
  EXPECT_EQ(FormatNumber(-1.0), "-1");
  EXPECT_EQ(FormatNumber(0.1234567), "0.123457");
  EXPECT_EQ(FormatNumber(1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatNumber(66000.0), "66000");
}

}  // namespace
