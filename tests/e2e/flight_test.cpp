// The server flies a turning climb; the client follows it, takes the gear
// handle over, relays its pilot's key event to the flying side, and both
// stop cleanly at the end.
#include <algorithm>
#include <cmath>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

constexpr std::uint32_t kRelayedKeyEvent = 0x10042;    // in the relayed table
constexpr std::uint32_t kUnrelayedKeyEvent = 0x10043;  // just beside it, not in the table
constexpr std::uint32_t kMarkerEventId = 66771;
constexpr std::uint32_t kMarkerEventData = 66772;

// The sample of `samples` (ordered by time) nearest in time to `monoNs`.
const Timed<trace::Aircraft>& Nearest(const std::vector<Timed<trace::Aircraft>>& samples,
                                      std::int64_t monoNs) {
  auto it = std::lower_bound(samples.begin(), samples.end(), monoNs,
                             [](const auto& s, std::int64_t ns) { return s.monoNs < ns; });
  if (it == samples.end()) return samples.back();
  if (it != samples.begin() && monoNs - std::prev(it)->monoNs < it->monoNs - monoNs) --it;
  return *it;
}

class FlightTest : public SharedFlightTest {};

TEST_F(FlightTest, ClientFollowsTurningClimbTakesGearAndRelaysKeyEvents) {
  WriteTable("QV_FlightDummy\n");
  const std::string server = StartRoleLines(0.1, 0) +
                             "2 fly 25 5 250 1500\n"
                             "4 gear 1\n"
                             "10 fly -25 5 250 1500\n"
                             "14 fly 0 0 250 0\n"
                             "17 quit\n";
  const std::string client = StartRoleLines(0.1, 1) +
                             "6 key 65602 7\n"
                             "7 key 65603 9\n"
                             "16 quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 25));
  const SideTrace serverTrace = Trace(kServer);
  const SideTrace clientTrace = Trace(kClient);

  // Both cockpits show the link once the client has connected.
  EXPECT_TRUE(clientTrace.FirstWrite("MP_STS", 1.0, By::kModule)) << "client MP_STS";
  EXPECT_TRUE(serverTrace.FirstWrite("MP_STS", 1.0, By::kModule)) << "server MP_STS";

  {
    SCOPED_TRACE("the client's aircraft follows the server's");
    const auto eased = clientTrace.SetData(kDefinitionLatitude);
    ASSERT_FALSE(eased.empty()) << "the client never eased its aircraft";
    EXPECT_TRUE(serverTrace.SetData(kDefinitionLatitude).empty()) << "the flying side was eased";
    const auto leader = serverTrace.All<trace::Aircraft>();
    const auto follower = clientTrace.All<trace::Aircraft>();
    ASSERT_GT(follower.size(), 100u);

    // Bound on the distance. Each frame the follower's eased latitude and
    // longitude move 1/D of the way to the received target, with the divisor
    // D clamped to at most 55, so against a target moving v per frame they
    // trail it by D·v; the position written is 1/90 of that eased value and
    // 89/90 of the follower's own, which moves at the same speed, adding one
    // more frame. The state datagrams (every ~5 ms, applied within ~2 ms)
    // and pairing samples of two unsynchronised frame clocks add at most
    // about two frames. Height (divisor 25) and heading lags in the turns
    // add a few metres, covered by 15 m.
    double meanFrameSeconds =
        (follower.back().monoNs - follower.front().monoNs) / 1e9 / (follower.size() - 1);
    double maxSpeedMps = 0.0;
    for (const auto& s : leader) maxSpeedMps = std::max(maxSpeedMps, s.body.ias * 0.514444);
    const double bound = (55.0 + 1.0 + 2.0) * maxSpeedMps * meanFrameSeconds + 15.0;

    // The client starts half a second behind; measure once its easing has
    // settled (time constants of 45-55 and 90 frames, under 2 s).
    const std::int64_t settledNs = eased.front().monoNs + 5'000'000'000;
    double worst = 0.0;
    int compared = 0;
    for (const auto& f : follower) {
      if (f.monoNs < settledNs || f.monoNs > leader.back().monoNs) continue;
      worst = std::max(worst, trace::DistanceMetres(f.body, Nearest(leader, f.monoNs).body));
      ++compared;
    }
    EXPECT_GT(compared, 300);
    EXPECT_LT(worst, bound) << "frame " << meanFrameSeconds << " s, speed " << maxSpeedMps
                            << " m/s";
    // The leader really turned and climbed, so following was not trivial.
    const auto [minHeading, maxHeading] = std::minmax_element(
        leader.begin(), leader.end(),
        [](const auto& a, const auto& b) { return a.body.heading < b.body.heading; });
    EXPECT_GT(maxHeading->body.heading - minHeading->body.heading, 12.0);
    EXPECT_GT(leader.back().body.alt - leader.front().body.alt, 150.0);
    EXPECT_GT(follower.back().body.alt - follower.front().body.alt, 150.0);
  }

  {
    SCOPED_TRACE("gear handle");
    const auto gear = clientTrace.SetData(kDefinitionGearHandle);
    ASSERT_FALSE(gear.empty()) << "the client never got the gear handle";
    EXPECT_EQ(gear.back().body.value, 1.0);
    EXPECT_EQ(clientTrace.All<trace::Aircraft>().back().body.gear, 1.0);
  }

  {
    SCOPED_TRACE("relayed key event");
    const auto performed = serverTrace.KeyEvents(By::kModule);
    std::vector<trace::KeyEvent> relayed;
    for (const auto& k : performed) relayed.push_back(k.body);
    const auto event = std::find_if(relayed.begin(), relayed.end(),
                                    [](const auto& k) { return k.id == kRelayedKeyEvent; });
    ASSERT_NE(event, relayed.end()) << "the server never performed the relayed event";
    EXPECT_EQ(event->data, 7u);
    ASSERT_GE(event - relayed.begin(), 2);
    EXPECT_EQ(event[-2].id, kMarkerEventId);
    EXPECT_EQ(event[-2].data, kRelayedKeyEvent);
    EXPECT_EQ(event[-1].id, kMarkerEventData);
    EXPECT_EQ(event[-1].data, 7u);
    EXPECT_EQ(std::count_if(relayed.begin(), relayed.end(),
                            [](const auto& k) { return k.id == kRelayedKeyEvent; }),
              1);
    EXPECT_EQ(std::count_if(relayed.begin(), relayed.end(),
                            [](const auto& k) { return k.id == kUnrelayedKeyEvent; }),
              0)
        << "an id outside the table was relayed";
    EXPECT_EQ(CountLines(LogLines(kServer), "SimEvent: 65602 Value: 7"), 1u);
    // Not sent back: the client performs nothing on the module's behalf.
    for (const auto& k : clientTrace.KeyEvents(By::kModule)) {
      EXPECT_NE(k.body.id, kRelayedKeyEvent) << "the relayed event came back";
    }
  }

  ExpectShutdownHandshake(LogLines(kServer), "server");
  ExpectShutdownHandshake(LogLines(kClient), "client");
}

}  // namespace
}  // namespace e2e
