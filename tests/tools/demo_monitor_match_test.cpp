// The demo report's matching of a pilot's changes and key events on one side
// with what the peer's module did, from trace lines as simhost writes them.
#include "demo_monitor_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_monitor_trace.h"

namespace {

constexpr std::int64_t kMs = 1'000'000;

std::vector<trace::Record> Trace(const std::vector<std::string>& lines) {
  std::vector<trace::Record> records;
  for (const auto& line : lines) {
    auto record = trace::ParseTraceLine(line);
    EXPECT_TRUE(record.has_value()) << line;
    if (record) records.push_back(*record);
  }
  return records;
}

std::string Write(std::int64_t ms, const char* name, const char* value, const char* by) {
  return "{\"t\":0,\"mono_ns\":" + std::to_string(ms * kMs) +
         ",\"type\":\"lvar_write\",\"name\":\"" + name + "\",\"value\":" + value + ",\"by\":\"" +
         by + "\"}";
}

std::string Key(std::int64_t ms, int id, int data, const char* by) {
  return "{\"t\":0,\"mono_ns\":" + std::to_string(ms * kMs) +
         ",\"type\":\"key_event\",\"id\":" + std::to_string(id) +
         ",\"data\":" + std::to_string(data) + ",\"by\":\"" + by + "\"}";
}

TEST(DemoMonitorMatch, AChangeArrivesWhenThePeerModuleWritesItsSinglePrecisionValueInTime) {
  const auto origin = Trace({
      Write(100, "A", "0.1", "script"),  // arrives as the float nearest 0.1
      Write(200, "B", "1", "script"),    // the peer's cockpit wrote it, not its module
      Write(300, "C", "1", "module"),    // not a pilot's change
      Write(400, "D", "1", "script"),    // arrives too late: held back, not slow
      Write(500, "NOT_SHARED", "1", "script"),
  });
  const auto peer = Trace({
      Write(90, "A", "0.10000000149011612", "module"),  // before the change
      Write(103, "A", "0.1", "module"),                 // the double, not what travels
      Write(105, "A", "0.10000000149011612", "module"),
      Write(210, "B", "1", "script"),
      Write(310, "C", "1", "module"),
      Write(510, "NOT_SHARED", "1", "module"),
      Write(2500, "D", "1", "module"),
  });
  const auto arrivals = trace::Arrivals(origin, peer, {"A", "B", "C", "D"});
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0].name, "A");
  EXPECT_EQ(arrivals[0].changeNs, 100 * kMs);
  EXPECT_EQ(arrivals[0].arrivalNs, 105 * kMs);
}

TEST(DemoMonitorMatch, AKeyEventIsReplayedOnThePeerAndItsEchoIsSeenWhenItComesBack) {
  const auto origin = Trace({
      Key(1000, 0x10042, 7, "script"),  // replayed, not echoed
      Key(3000, 0x10044, 1, "script"),  // replayed and echoed
      Key(3030, 0x10044, 1, "module"),  // the echo
      Key(5000, 0x10051, 2, "script"),  // the peer replays other data only
  });
  const auto peer = Trace({
      Key(1010, 0x104D3, 0x10042, "module"),  // the marker before a replay
      Key(1012, 0x10042, 7, "module"),
      Key(3020, 0x10044, 1, "module"),
      Key(5010, 0x10051, 3, "module"),
  });
  const auto relays = trace::KeyRelays(origin, peer);
  ASSERT_EQ(relays.size(), 3u);
  EXPECT_EQ(relays[0].id, 0x10042u);
  EXPECT_EQ(relays[0].replayedNs, 1012 * kMs);
  EXPECT_FALSE(relays[0].echoed);
  EXPECT_EQ(relays[1].replayedNs, 3020 * kMs);
  EXPECT_TRUE(relays[1].echoed);
  EXPECT_FALSE(relays[2].replayedNs.has_value());
  EXPECT_FALSE(relays[2].echoed);
}

TEST(DemoMonitorTrace, AppliedValuesCountTheLoggedLinesAndTheSummariesOfThoseLeftOut) {
  int count = 0;
  for (const char* line :
       {"LvarsSet: QV_A Value: 1", "... and 26996 more values applied", "SimEvent: 66000 Value: 1",
        "... and 12 more key events applied", "... and x more values applied",
        "... and  more values applied", "Refused datagram from 198.18.0.9"}) {
    count += trace::AppliedValuesIn(line);
  }
  EXPECT_EQ(count, 26997);
}

}  // namespace

namespace {

TEST(DemoMonitorLogTest, CountsNamedAndSummedCorrections) {
  EXPECT_EQ(trace::CorrectedValues("Corrected from peer: QV_FCU_ALT Value: 12000"), 1);
  EXPECT_EQ(trace::CorrectedValues("Corrected from peer: 37 more values"), 37);
  // A variable whose name happens to end in the same words is one value.
  EXPECT_EQ(trace::CorrectedValues("Corrected from peer: QV_5 more values Value: 1"), 1);
  EXPECT_EQ(trace::CorrectedValues("LvarsSet: QV_FCU_ALT Value: 12000"), 0);
}

}  // namespace
