// Data messages of the aircraft-state request: copy, reset or ease.
#include <cmath>
#include <limits>

#include "simlink/eased_values.h"
#include "simlink_fixture.h"

namespace {

class DataTest : public SimlinkTest {
 protected:
  // A local aircraft over (25 N, 100 E) heading 350.
  static AircraftValues Local() {
    AircraftValues v;
    v.Set(&AircraftState::planeLatitude, 25.0)
        .Set(&AircraftState::planeLongitude, 100.0)
        .Set(&AircraftState::planeHeadingDegreesTrue, 350.0)
        .Set(&AircraftState::planePitchDegrees, 2.0)
        .Set(&AircraftState::planeBankDegrees, -4.0)
        .Set(&AircraftState::planeAltitude, 1000.0)
        .Set(&AircraftState::verticalSpeed, 10.0)
        .Set(&AircraftState::elevatorTrimPosition, 0.1)
        .Set(&AircraftState::velocityBodyZ, 200.0)
        .Set(&AircraftState::velocityBodyX, 1.0)
        .Set(&AircraftState::velocityBodyY, -2.0)
        .Set(&AircraftState::accelerationBodyZ, 3.0)
        .Set(&AircraftState::accelerationBodyX, 0.5)
        .Set(&AircraftState::accelerationBodyY, -1.0)
        .Set(&AircraftState::airspeedIndicated, 240.0);
    return v;
  }
  // The peer's state as its receive loop leaves it in the targets.
  static void SetPeerTargets() {
    SharedState& s = *simThread.sharedState;
    s.velocityBodyZ.target = 210.0;
    s.velocityBodyX.target = 6.0;
    s.accelBodyZ.target = 8.0;
    s.accelBodyX.target = 5.5;
    s.velocityBodyY.target = 3.0;
    s.accelBodyY.target = 4.0;
    s.latitude.target = 30.0;
    s.longitude.target = 110.0;
    s.heading.target = 10.0;
    s.pitch.target = 7.0;
    s.bank.target = 1.0;
    s.altitude.target = 1250.0;
    s.verticalSpeed.target = 20.0;
    s.elevatorTrim.target = 0.3;
    s.airspeed.target = 250.0;
  }
  static void Follow(double mpConn = 1.0) {
    Store(vars().value[slot::kMpConn], mpConn);
    Store(roleState.isFollower, 1);
  }
};

TEST_F(DataTest, CopiesAllFortyOneValuesInDefinitionOrder) {
  AircraftValues v;
  for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) v[i] = 1.5 * i - 7.0;
  v.Deliver();
  for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) {
    SCOPED_TRACE(kAircraftStateFields[i].simVar);
    EXPECT_EQ(Load(aircraft().*kAircraftStateFields[i].field), 1.5 * i - 7.0);
  }
  EXPECT_EQ(Load(aircraft().totalWeight), -7.0);
  EXPECT_EQ(Load(aircraft().comActiveFrequency2), 1.5 * 40 - 7.0);
}

TEST_F(DataTest, OtherRequestsAndShortMessagesAreIgnored) {
  const double latitude = Load(aircraft().planeLatitude);
  const double weight = Load(aircraft().totalWeight);
  simThread.sharedState->latitude.divisor = 0.0;
  Local().Deliver(1);
  EXPECT_EQ(Load(aircraft().planeLatitude), latitude);
  EXPECT_EQ(simThread.sharedState->latitude.divisor, 0.0);

  SimConnectRecvSimObjectData shortMessage{};
  shortMessage.dwSize = sizeof(shortMessage);
  shortMessage.dwID = simconnect::kRecvIdSimObjectData;
  shortMessage.dwData = 0x12345678;
  SimConnectDispatch(reinterpret_cast<SimConnectRecv*>(&shortMessage), sizeof(shortMessage),
                     nullptr);
  EXPECT_EQ(Load(aircraft().totalWeight), weight);
  EXPECT_EQ(simThread.sharedState->latitude.divisor, 0.0);
}

// Every record holds the local aircraft's own value and its reset divisor.
void ExpectReset() {
  // velocity Z, X, acceleration Z, X, velocity Y, acceleration Y, latitude,
  // longitude, heading, pitch, bank, altitude, vertical speed, elevator trim,
  // airspeed
  const double divisors[kEasedValueCount] = {5, 5, 5, 5, 5, 5, 50, 50, 50, 50, 50, 25, 5, 1, 15};
  for (std::size_t i = 0; i < kEasedValueCount; ++i) {
    SCOPED_TRACE(i);
    const SmoothedValue& record = simThread.sharedState->*kEasedValues[i].record;
    const double own = Load(simThread.sharedState->aircraft->*kEasedValues[i].source);
    EXPECT_NE(own, 0.0);
    EXPECT_EQ(record.current, own);
    EXPECT_EQ(Load(record.target), own);
    EXPECT_EQ(record.divisor, divisors[i]);
  }
}

TEST_F(DataTest, NotFollowingOnlyResetsTheRecords) {
  const struct {
    double mpConn;
    std::uint8_t follower;
  } cases[] = {{0.0, 1}, {-0.0, 1}, {1.0, 0}, {0.0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "MP_CONN " << c.mpConn << " follower " << +c.follower);
    Store(vars().value[slot::kMpConn], c.mpConn);
    Store(roleState.isFollower, c.follower);
    SetPeerTargets();
    Local().Deliver();
    ExpectReset();
  }
  EXPECT_TRUE(standin::SetDataCalls().empty());
}

TEST_F(DataTest, FollowingWritesTheFourteenStepsInOrder) {
  Local().Deliver();  // reset: current is the local aircraft, reset divisors
  SetPeerTargets();
  Follow();
  Local().Deliver();

  const struct {
    SimConnectDword defineId;
    double value;
  } expected[] = {
      {19, 202.0},                        // 200 + (210 - 200) / 5
      {20, 2.0},                          // 1 + (6 - 1) / 5
      {13, 4.0},                          // 3 + (8 - 3) / 5
      {14, 1.5},                          // 0.5 + (5.5 - 0.5) / 5
      {21, -1.0},                         // -2 + (3 + 2) / 5
      {15, 0.0},                          // -1 + (4 + 1) / 5
      {31, (25.1 + 89.0 * 25.0) / 90.0},  // eased 25.1 blended with the received 25
      {30, (100.2 + 89.0 * 100.0) / 90.0},
      {28, 350.4},  // across the seam toward 10
      {26, 2.1},
      {25, -3.9},
      {27, 1010.0},
      {36, 12.0},
      {2, 0.3},  // divisor 1 reaches the target at once
  };
  const auto calls = standin::SetDataCalls();
  ASSERT_EQ(calls.size(), std::size(expected));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].defineId, expected[i].defineId);
    EXPECT_NEAR(calls[i].value, expected[i].value, 1e-9);
  }
  // The latitude record keeps its own eased value; only the write is blended.
  EXPECT_NEAR(simThread.sharedState->latitude.current, 25.1, 1e-12);
  EXPECT_NEAR(simThread.sharedState->longitude.current, 100.2, 1e-12);
  // Position divisor for 25 N 100 E; the others keep their reset figures.
  EXPECT_EQ(simThread.sharedState->latitude.divisor, 45.0);
  EXPECT_EQ(simThread.sharedState->longitude.divisor, 45.0);
  EXPECT_EQ(simThread.sharedState->heading.divisor, 45.0);
  EXPECT_EQ(simThread.sharedState->pitch.divisor, 50.0);
  EXPECT_EQ(simThread.sharedState->altitude.divisor, 25.0);
  EXPECT_EQ(simThread.sharedState->elevatorTrim.divisor, 1.0);
  // Airspeed is never eased.
  EXPECT_EQ(simThread.sharedState->airspeed.current, 240.0);
}

TEST_F(DataTest, NextStepUsesTheNewPositionDivisor) {
  Local().Deliver();
  SetPeerTargets();
  Follow();
  Local().Deliver();
  Local().Deliver();
  EXPECT_NEAR(simThread.sharedState->latitude.current, 25.1 + 4.9 / 45.0, 1e-12);
  EXPECT_NEAR(simThread.sharedState->heading.current, 350.4 + 19.6 / 45.0, 1e-12);
  EXPECT_NEAR(simThread.sharedState->pitch.current, 2.1 + 4.9 / 50.0, 1e-12);
  EXPECT_EQ(standin::SetDataCalls().size(), 28u);
}

TEST_F(DataTest, UnorderedMpConnCountsAsSet) {
  Local().Deliver();
  SetPeerTargets();
  Follow(std::numeric_limits<double>::quiet_NaN());
  Local().Deliver();
  EXPECT_EQ(standin::SetDataCalls().size(), 14u);
}

TEST_F(DataTest, PositionThatIsNotANumberLeavesAUsableDivisor) {
  Local().Deliver();
  SetPeerTargets();
  Follow();
  Local().Set(&AircraftState::planeLatitude, std::numeric_limits<double>::quiet_NaN()).Deliver();
  EXPECT_EQ(simThread.sharedState->latitude.divisor, 55.0);
  EXPECT_EQ(simThread.sharedState->longitude.divisor, 55.0);
  EXPECT_EQ(simThread.sharedState->heading.divisor, 55.0);
  // The heading keeps easing with finite numbers on the next frame.
  Local().Deliver();
  EXPECT_TRUE(std::isfinite(simThread.sharedState->heading.current));
  EXPECT_TRUE(std::isfinite(simThread.sharedState->longitude.current));
}

TEST_F(DataTest, UnusableDivisorsResetTheirRecordAndOnlyNumbersAreWritten) {
  // Following from the very first frame, before any reset: every divisor is
  // still 0; one record also holds a divisor and a current that are no numbers.
  for (const EasedValue& source : kEasedValues) {
    (simThread.sharedState->*source.record).divisor = 0.0;
  }
  simThread.sharedState->bank.divisor = std::numeric_limits<double>::infinity();
  simThread.sharedState->pitch.current = std::numeric_limits<double>::quiet_NaN();
  SetPeerTargets();
  Follow();
  Local().Deliver();
  const auto calls = standin::SetDataCalls();
  ASSERT_EQ(calls.size(), 14u);
  for (const auto& call : calls) EXPECT_TRUE(std::isfinite(call.value)) << call.defineId;
  // Reset records step from the local aircraft toward itself.
  EXPECT_EQ(simThread.sharedState->pitch.current, 2.0);
  EXPECT_EQ(simThread.sharedState->bank.divisor, 50.0);
  EXPECT_EQ(Load(simThread.sharedState->altitude.target), 1000.0);
}

}  // namespace
