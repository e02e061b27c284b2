// Client events the connection reacts to.
#include <cmath>
#include <limits>

#include "simlink/sim_data.h"
#include "simlink_fixture.h"

namespace {

class EventsTest : public SimlinkTest {
 protected:
  static double SpoilerSlot() { return Load(vars().value[slot::kSpoilerAnim]); }
  static double SpoilerVariable() { return standin::ReadNamed("Spoiler_lv_Anim").value_or(-1.0); }
};

TEST_F(EventsTest, SpoilerEventsSetTheSlotAndTheNamedVariable) {
  const struct {
    SimConnectDword event;
    double before;
    double after;
  } cases[] = {
      {22, 0.0, 10.0}, {27, 100.0, 10.0}, {23, 10.0, 0.0},  {26, 10.0, 100.0}, {24, 0.0, 10.0},
      {24, 10.0, 0.0}, {24, 9.5, 10.0},   {24, 100.0, 0.0}, {24, -3.0, 10.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "event " << c.event << " from " << c.before);
    Store(vars().value[slot::kSpoilerAnim], c.before);
    standin::WriteNamed("Spoiler_lv_Anim", -1.0);
    SendEvent(c.event, 0);
    EXPECT_EQ(SpoilerSlot(), c.after);
    EXPECT_EQ(SpoilerVariable(), c.after);
  }
}

TEST_F(EventsTest, AxisToggleFlipsBetweenFullScalesAndMarksPending) {
  AxisToggle& toggle = *simThread.sharedState->axisToggle;
  const int expected[] = {16383, -16383, 16383};
  for (int value : expected) {
    Store(toggle.pending, 0);
    SendEvent(25, 0);
    EXPECT_EQ(Load(toggle.axisValue), value);
    EXPECT_EQ(Load(toggle.pending), 1);
  }
  Store(toggle.axisValue, -1);
  SendEvent(25, 0);
  EXPECT_EQ(Load(toggle.axisValue), 16383);
}

TEST_F(EventsTest, TillerEventsActOnlyWhileTheTillerIsEnabledExactly) {
  const double notEnabled[] = {0.0, 0.999999, 2.0, -1.0, std::nan("")};
  for (double tiller : notEnabled) {
    Store(vars().value[slot::kTillerEnabled], tiller);
    SendEvent(57, 1234);
    SendEvent(58, 1234);
  }
  EXPECT_EQ(Load(vars().value[slot::kTillerData]), 0.0);
  EXPECT_TRUE(standin::ClientEventCalls().empty());

  Store(vars().value[slot::kTillerEnabled], 1.0);
  SendEvent(57, 0xFFFFFFFBu);  // -5 as a signed word
  SendEvent(58, 16383);
  EXPECT_EQ(Load(vars().value[slot::kTillerData]), 16383.0);
  const auto calls = standin::ClientEventCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].eventId, 56u);
  EXPECT_EQ(calls[0].data, 0xFFFFFFFBu);
  EXPECT_EQ(calls[0].objectId, 0u);
  EXPECT_EQ(calls[0].groupId, 1900000000u);
  EXPECT_EQ(calls[0].flags, 16u);
  EXPECT_EQ(calls[1].data, 16383u);
}

TEST_F(EventsTest, TillerDataIsTheSignedEventData) {
  Store(vars().value[slot::kTillerEnabled], 1.0);
  SendEvent(57, 0xFFFFFFFBu);
  EXPECT_EQ(Load(vars().value[slot::kTillerData]), -5.0);
}

TEST_F(EventsTest, TillerEventCarriesTheTruncatedLowWord) {
  const struct {
    double value;
    SimConnectDword data;
  } cases[] = {
      {7.9, 7u},
      {-7.9, 0xFFFFFFF9u},
      {4294967296.0 + 3.0, 3u},  // only the low 32 bits of the 64-bit integer
      {-0.5, 0u},
      {std::numeric_limits<double>::quiet_NaN(), 0u},
      {1e300, 0u},
  };
  for (const auto& c : cases) TransmitTiller(c.value);
  const auto calls = standin::ClientEventCalls();
  ASSERT_EQ(calls.size(), std::size(cases));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(cases[i].value);
    EXPECT_EQ(calls[i].data, cases[i].data);
    EXPECT_EQ(calls[i].eventId, 56u);
  }
}

TEST_F(EventsTest, OtherEventIdsUpToThreeHundredChangeNothing) {
  Store(vars().value[slot::kTillerEnabled], 1.0);
  Store(vars().value[slot::kSpoilerAnim], 5.0);
  const std::size_t requests = standin::DataRequests().size();
  const SimConnectDword ignored[] = {1, 21, 28, 55, 56, 59, 100, 299, 300};
  for (SimConnectDword event : ignored) SendEvent(event, 42);
  EXPECT_EQ(SpoilerSlot(), 5.0);
  EXPECT_EQ(Load(simThread.sharedState->axisToggle->axisValue), 0);
  EXPECT_EQ(Load(vars().value[slot::kTillerData]), 0.0);
  EXPECT_TRUE(standin::ClientEventCalls().empty());
  EXPECT_EQ(standin::DataRequests().size(), requests);
  EXPECT_TRUE(standin::SetDataCalls().empty());
}

TEST_F(EventsTest, EventsAboveThreeHundredReachTheKeyEventRelay) {
  // Client event n arrives as key event n + 65236 (301 as 0x10001), so 1535
  // and 1536 arrive as the relay's marker key events 0x104D3 and 0x104D4.
  SendEvent(1535, 0x10042);
  EXPECT_EQ(Load(simThread.suppressEvent), 0x10042u);
  EXPECT_EQ(Load(simThread.suppressData), 0x10042u);
  SendEvent(1536, 7);
  EXPECT_EQ(Load(simThread.suppressData), 7u);
  SendEvent(301, 7);  // 0x10001 is not relayed: the pair stays
  SendEvent(365, 7);  // 0x10041 neither
  EXPECT_EQ(Load(simThread.suppressEvent), 0x10042u);
  // 366 arrives as 0x10042: the expected echo, which clears the pair.
  SendEvent(366, 7);
  EXPECT_EQ(Load(simThread.suppressEvent), 0u);
  EXPECT_EQ(Load(simThread.suppressData), 0u);
}

}  // namespace
