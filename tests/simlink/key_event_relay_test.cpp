// The key-event filter and the echo filter of the relay.
#include "simlink/key_event_relay.h"

#include <cmath>
#include <set>

#include "simlink_fixture.h"

namespace {

// Key event ids in decimal, as the simulator numbers them.
const std::set<std::uint32_t> kAlways = {
    65602, 65604, 65617, 65715, 65750, 65752, 65832, 65833, 65834, 65837, 65838, 65839,
    65966, 65967, 65971, 65972, 66059, 66060, 66278, 66279, 66376, 66378, 66379, 66389,
    66463, 66464, 66465, 66477, 66557, 66558, 66579, 66634, 66635, 66636};
const std::set<std::uint32_t> kBrakeOrFollowing = {65588, 65720, 65721, 66387, 66388};
constexpr std::uint32_t kFollowingOnly = 65706;

constexpr std::uint32_t kMarkerId = 0x104D3;
constexpr std::uint32_t kMarkerData = 0x104D4;

class KeyEventRelayTest : public SimlinkTest {
 protected:
  static void SetParkingBrake(double value) { Store(aircraft().brakeParkingPosition, value); }
  static void Announce(std::uint32_t id, std::uint32_t data) {
    KeyEventRelay(kMarkerId, id, nullptr);
    KeyEventRelay(kMarkerData, data, nullptr);
  }
  static void ExpectPending(std::uint32_t id, std::uint32_t data) {
    EXPECT_EQ(Load(simThread.suppressEvent), id);
    EXPECT_EQ(Load(simThread.suppressData), data);
  }
};

TEST_F(KeyEventRelayTest, RelayedIdsUnderEachCondition) {
  const struct {
    std::uint8_t follower;
    double brake;
    bool brakeRow;
    bool followingRow;
  } states[] = {
      {0, 0.0, false, false},         {0, 1.0, true, false},
      {0, std::nan(""), true, false},  // unordered with 0 counts as set
      {1, 0.0, true, true},           {1, 1.0, true, true},
  };
  for (const auto& s : states) {
    SCOPED_TRACE(testing::Message() << "follower " << +s.follower << " brake " << s.brake);
    Store(roleState.isFollower, s.follower);
    SetParkingBrake(s.brake);
    for (std::uint32_t id = 0xFF00; id < 0x10600; ++id) {
      const bool expected = kAlways.count(id) != 0 ||
                            (s.brakeRow && kBrakeOrFollowing.count(id) != 0) ||
                            (s.followingRow && id == kFollowingOnly);
      ASSERT_EQ(IsRelayedKeyEvent(id), expected) << "id " << id;
    }
  }
  EXPECT_FALSE(IsRelayedKeyEvent(0));
  EXPECT_FALSE(IsRelayedKeyEvent(0xFFFFFFFFu));
}

TEST_F(KeyEventRelayTest, WithoutAircraftStateOnlyTheBrakeConditionFails) {
  AircraftState* saved = simThread.sharedState->aircraft;
  simThread.sharedState->aircraft = nullptr;
  EXPECT_TRUE(IsRelayedKeyEvent(65602));
  EXPECT_FALSE(IsRelayedKeyEvent(65588));
  Store(roleState.isFollower, 1);
  EXPECT_TRUE(IsRelayedKeyEvent(65588));
  simThread.sharedState->aircraft = saved;
}

TEST_F(KeyEventRelayTest, MarkersSetThePendingPairAndGoNoFurther) {
  KeyEventRelay(kMarkerId, 0x10042, nullptr);
  ExpectPending(0x10042, 0x10042);
  KeyEventRelay(kMarkerData, 7, nullptr);
  ExpectPending(0x10042, 7);
  EXPECT_FALSE(IsRelayedKeyEvent(kMarkerId));
  EXPECT_FALSE(IsRelayedKeyEvent(kMarkerData));
  // A new announcement overwrites the old one.
  Announce(0x10044, 3);
  ExpectPending(0x10044, 3);
}

TEST_F(KeyEventRelayTest, TheAnnouncedEchoIsSwallowedOnceOnEitherSide) {
  for (std::uint8_t follower : {0, 1}) {
    SCOPED_TRACE(+follower);
    Store(roleState.isFollower, follower);
    Store(roleSetup.roleStarted, true);
    Announce(0x10042, 7);
    KeyEventRelay(0x10042, 7, nullptr);
    ExpectPending(0, 0);
  }
}

TEST_F(KeyEventRelayTest, OtherDataOrOtherIdLeavesThePairPending) {
  Store(roleState.isFollower, 1);
  Store(roleSetup.roleStarted, true);
  Announce(0x10042, 7);
  KeyEventRelay(0x10042, 8, nullptr);
  ExpectPending(0x10042, 7);
  KeyEventRelay(0x10044, 7, nullptr);
  ExpectPending(0x10042, 7);
  KeyEventRelay(0x10042, 7, nullptr);
  ExpectPending(0, 0);
}

TEST_F(KeyEventRelayTest, FilteredIdsNeverClearThePair) {
  // 0x100AA is relayed only while following: on the flying side its own
  // echo stops at the filter and the pair stays.
  Announce(0x100AA, 1);
  KeyEventRelay(0x100AA, 1, nullptr);
  ExpectPending(0x100AA, 1);
  Store(roleState.isFollower, 1);
  KeyEventRelay(0x100AA, 1, nullptr);
  ExpectPending(0, 0);

  // An id outside the table, whatever its data.
  Announce(0x10001, 5);
  KeyEventRelay(0x10001, 5, nullptr);
  ExpectPending(0x10001, 5);
}

TEST_F(KeyEventRelayTest, ParkingBrakeLetsTheSecondRowClearThePair) {
  Announce(0x10034, 2);
  KeyEventRelay(0x10034, 2, nullptr);
  ExpectPending(0x10034, 2);
  SetParkingBrake(1.0);
  KeyEventRelay(0x10034, 2, nullptr);
  ExpectPending(0, 0);
}

}  // namespace
