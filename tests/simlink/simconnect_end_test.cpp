// The SimConnect connection failing or ending: a failed open, exception messages
// and the simulator's quit are named in the log, and after a failed open or a
// quit the module makes no SimConnect call at all.
#include <algorithm>
#include <string>

#include "simlink/simconnect_health.h"
#include "simlink_fixture.h"

namespace {

constexpr SimConnectResult kEFail = static_cast<SimConnectResult>(0x80004005u);
const std::string kQuitLine =
    "SimConnect quit: the simulator ended the session; the aircraft is no longer read or moved";

class SimConnectEnd : public SimlinkTest {
 protected:
  int LogCount(const std::string& line) const {
    const auto lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }
  // This instance follows its peer: each aircraft-state message eases it.
  static void Follow() {
    Store(vars().value[slot::kMpConn], 1.0);
    Store(roleState.isFollower, 1);
    Store(vars().value[slot::kTillerEnabled], 1.0);
  }
};

TEST_F(SimConnectEnd, AfterTheQuitMessageNothingCallsTheHandleAndTheLogSaysWhy) {
  Follow();
  AircraftValues().Deliver();
  const std::size_t setDataBefore = standin::SetDataCalls().size();
  ASSERT_GT(setDataBefore, 0u);  // eased while the connection lived

  standin::QueueQuit();
  standin::QueueQuit();  // a second one says nothing more
  standin::DeliverMessages();
  EXPECT_FALSE(SimConnectLive());

  AircraftValues().Deliver();  // easing would write the aircraft
  SendEvent(57, 5);            // the tiller would transmit a client event
  SendEvent(0, 0);             // "SimStart" would request data again
  StopModule();                // the close would call the handle too

  EXPECT_EQ(standin::SetDataCalls().size(), setDataBefore);
  EXPECT_TRUE(standin::ClientEventCalls().empty());
  EXPECT_EQ(standin::DataRequests().size(), 1u);
  EXPECT_EQ(standin::RefusedCalls(), 0u);
  EXPECT_EQ(LogCount(kQuitLine), 1);
  // The link's status stays the link's.
  EXPECT_EQ(Load(linkState.connectionStatus), connection_status::kNothingYet);
}

TEST_F(SimConnectEnd, ExceptionsAreLoggedTenAMinuteAndTheRestSummedAtStop) {
  for (SimConnectDword sendId = 1; sendId <= 25; ++sendId) {
    standin::QueueException(3, sendId, 2);
  }
  // One shorter than its record is dropped unread.
  SimConnectRecv shortException{sizeof(SimConnectRecv), 4, simconnect::kRecvIdException};
  SimConnectDispatch(&shortException, sizeof shortException, nullptr);
  standin::DeliverMessages();

  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kExceptionLinesPerMinute));
  for (int i = 0; i < kExceptionLinesPerMinute; ++i) {
    EXPECT_EQ(lines[i],
              "SimConnect exception 3 (send id " + std::to_string(i + 1) + ", parameter 2)");
  }
  // The connection goes on: a flight start still asks for the aircraft.
  SendEvent(0, 0);
  EXPECT_EQ(standin::DataRequests().size(), 2u);
  EXPECT_TRUE(SimConnectLive());

  StopModule();
  EXPECT_EQ(LogCount("SimConnect exceptions: 15 more not logged, the latest 3 (send id 25, "
                     "parameter 2)"),
            1);
}

class FailedOpen : public ModuleFixture {};

TEST_F(FailedOpen, IsLoggedOnceWithItsResultAndTheHandleIsNeverCalled) {
  standin::FailNextOpen(kEFail);
  StartModule();
  CreateGauge();
  for (int i = 0; i < 3; ++i) Frame();
  KillGauge();
  StopModule();

  EXPECT_EQ(LogLines().front(),
            "SimConnect open failed with result 0x80004005: the aircraft is not read or moved "
            "while this simulator runs");
  const auto lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("SimConnect"); }),
            1);
  EXPECT_EQ(standin::RefusedCalls(), 0u);
  EXPECT_FALSE(SimConnectLive());
}

}  // namespace
