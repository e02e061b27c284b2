// The SimConnect connection as the stand-in simulator sees it: definitions,
// the aircraft-state request and the data flowing into AircraftState.
#include <string>
#include <vector>

#include "simlink_fixture.h"

namespace {

struct Expected {
  SimConnectDword defineId;
  std::string simVar;
  std::string unit;
};

// The one-entry definitions, in the order the connection makes them.
const std::vector<Expected> kExpectedSingles = {
    {31, "PLANE LATITUDE", "degrees"},
    {30, "PLANE LONGITUDE", "degrees"},
    {25, "PLANE BANK DEGREES", "degrees"},
    {26, "PLANE PITCH DEGREES", "degrees"},
    {27, "PLANE ALTITUDE", "Feet"},
    {28, "PLANE HEADING DEGREES TRUE", "degrees"},
    {29, "DELTA HEADING RATE", "Radians per second"},
    {18, "ROTATION VELOCITY BODY Z", "degree per second"},
    {16, "ROTATION VELOCITY BODY X", "degree per second"},
    {17, "ROTATION VELOCITY BODY Y", "degree per second"},
    {13, "ACCELERATION BODY Z", "Feet per second squared"},
    {14, "ACCELERATION BODY X", "Feet per second squared"},
    {15, "ACCELERATION BODY Y", "Feet per second squared"},
    {19, "VELOCITY BODY Z", "Feet per second"},
    {20, "VELOCITY BODY X", "Feet per second"},
    {21, "VELOCITY BODY Y", "Feet per second"},
    {36, "VERTICAL SPEED", "feet per second"},
    {1, "AILERON POSITION", "position"},
    {0, "ELEVATOR POSITION", "position"},
    {2, "ELEVATOR TRIM POSITION", "Radians"},
    {32, "GEAR HANDLE POSITION", "bool"},
    {35, "G FORCE", "GForce"},
    {37, "Airspeed indicated", "knots"},
    {38, "VELOCITY WORLD Z", "Feet per second"},
};

// The module started with its connection's first messages still queued.
class SimConnectLinkTest : public SimlinkTest {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    ModuleInit();
  }
  void TearDown() override {
    StopModule();
    SimlinkTest::TearDown();
  }
};

TEST_F(SimConnectLinkTest, OpenMakesSixtyFiveDefinitionEntriesInOrder) {
  standin::DeliverMessages();
  const std::vector<standin::DefinitionEntry> made = standin::Definitions();
  ASSERT_EQ(made.size(), 65u);
  for (std::size_t i = 0; i < made.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(made[i].datumType, 4u);
    EXPECT_EQ(made[i].epsilon, 0.0f);
    EXPECT_EQ(made[i].datumId, 0xFFFFFFFFu);
  }
  for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(made[i].defineId, 34u);
    EXPECT_EQ(made[i].simVar, kAircraftStateFields[i].simVar);
    EXPECT_EQ(made[i].unit, kAircraftStateFields[i].unit);
  }
  EXPECT_EQ(made.front().simVar, "TOTAL WEIGHT");
  EXPECT_EQ(made.front().unit, "Pounds");
  EXPECT_EQ(made[40].simVar, "COM ACTIVE FREQUENCY:2");
  EXPECT_EQ(made[40].unit, "Number");
  for (std::size_t i = 0; i < kExpectedSingles.size(); ++i) {
    SCOPED_TRACE(kExpectedSingles[i].simVar);
    EXPECT_EQ(made[41 + i].defineId, kExpectedSingles[i].defineId);
    EXPECT_EQ(made[41 + i].simVar, kExpectedSingles[i].simVar);
    EXPECT_EQ(made[41 + i].unit, kExpectedSingles[i].unit);
  }
}

// The one-entry definitions take their variable and unit from this entry.
TEST(AircraftStateFieldOf, FindsEachFieldsOwnEntry) {
  for (const AircraftStateField& entry : kAircraftStateFields) {
    SCOPED_TRACE(entry.simVar);
    EXPECT_EQ(&AircraftStateFieldOf(entry.field), &entry);
  }
  EXPECT_STREQ(AircraftStateFieldOf(&AircraftState::planeLatitude).simVar, "PLANE LATITUDE");
  EXPECT_STREQ(AircraftStateFieldOf(&AircraftState::comActiveFrequency2).unit, "Number");
}

TEST_F(SimConnectLinkTest, OpenSubscribesSimStartAndRequestsNothingYet) {
  SimConnectRecv open{sizeof(open), 4, simconnect::kRecvIdOpen};
  SimConnectDispatch(&open, sizeof(open), nullptr);
  EXPECT_EQ(standin::Definitions().size(), 65u);
  const auto subscriptions = standin::SystemEventSubscriptions();
  ASSERT_EQ(subscriptions.size(), 1u);
  EXPECT_EQ(subscriptions[0].first, 0u);
  EXPECT_EQ(subscriptions[0].second, "SimStart");
  EXPECT_TRUE(standin::DataRequests().empty());
}

TEST_F(SimConnectLinkTest, OpenClearsThePendingAxisToggle) {
  Store(simThread.sharedState->axisToggle->pending, 1);
  SimConnectRecv open{sizeof(SimConnectRecvOpen), 4, simconnect::kRecvIdOpen};
  SimConnectDispatch(&open, sizeof(open), nullptr);
  EXPECT_EQ(Load(simThread.sharedState->axisToggle->pending), 0);
}

TEST_F(SimConnectLinkTest, EveryFlightStartRequestsTheAircraftStateEveryChangedFrame) {
  standin::DeliverMessages();  // the flight loaded with the connection
  for (int start = 1; start <= 3; ++start) {
    if (start > 1) standin::QueueSimStart();
    standin::DeliverMessages();
    const auto requests = standin::DataRequests();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(start));
    const standin::DataRequest& r = requests.back();
    EXPECT_EQ(r.requestId, 0u);
    EXPECT_EQ(r.defineId, 34u);
    EXPECT_EQ(r.objectId, 0u);
    EXPECT_EQ(r.period, 3u);
    EXPECT_EQ(r.flags, 1u);
    EXPECT_EQ(r.origin, 0u);
    EXPECT_EQ(r.interval, 0u);
    EXPECT_EQ(r.limit, 0u);
  }
}

void ExpectAircraftStateIsTheStandInAircraft() {
  for (const AircraftStateField& field : kAircraftStateFields) {
    SCOPED_TRACE(field.simVar);
    EXPECT_EQ(Load(simThread.sharedState->aircraft->*field.field),
              standin::AircraftVariable(field.simVar));
  }
}

TEST_F(SimConnectLinkTest, AircraftStateFollowsTheFlownStandInAircraft) {
  for (const AircraftStateField& field : kAircraftStateFields) {
    EXPECT_EQ(Load(aircraft().*field.field), 0.0) << "before the flight starts: " << field.simVar;
  }
  standin::DeliverMessages();
  ExpectAircraftStateIsTheStandInAircraft();

  standin::Fly(20.0, 5.0, 250.0, 1500.0);
  for (int second = 0; second < 3; ++second) {
    const double latitudeBefore = Load(aircraft().planeLatitude);
    const double longitudeBefore = Load(aircraft().planeLongitude);
    const double altitudeBefore = Load(aircraft().planeAltitude);
    standin::AdvanceAircraft(1.0);
    standin::DeliverMessages();
    ExpectAircraftStateIsTheStandInAircraft();
    EXPECT_TRUE(Load(aircraft().planeLatitude) != latitudeBefore ||
                Load(aircraft().planeLongitude) != longitudeBefore);
    EXPECT_GT(Load(aircraft().planeAltitude), altitudeBefore);
  }
  // Not following: the records track the aircraft and nothing is written back.
  EXPECT_EQ(simThread.sharedState->altitude.current, Load(aircraft().planeAltitude));
  EXPECT_TRUE(standin::SetDataCalls().empty());
}

}  // namespace
