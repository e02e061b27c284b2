// SharedConfig.cfg's option "close follow" between two simulators, in a
// 250 kt turning climb and a swap of who flies at 14 s: with it the two
// aircraft stay together, also while bursts of the state stream are lost;
// without it the follower trails by the easing law's lag.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "shared_flight.h"

namespace e2e {
namespace {

using Samples = std::vector<Timed<trace::Aircraft>>;

// `samples` at `monoNs`, between the two around it.
trace::Aircraft At(const Samples& samples, std::int64_t monoNs) {
  auto after = std::lower_bound(samples.begin(), samples.end(), monoNs,
                                [](const auto& s, std::int64_t ns) { return s.monoNs < ns; });
  if (after == samples.begin()) return samples.front().body;
  if (after == samples.end()) return samples.back().body;
  const auto& before = *std::prev(after);
  const double f = static_cast<double>(monoNs - before.monoNs) /
                   static_cast<double>(after->monoNs - before.monoNs);
  trace::Aircraft a = before.body;
  a.lat += f * (after->body.lat - a.lat);
  a.lon += f * (after->body.lon - a.lon);
  a.alt += f * (after->body.alt - a.alt);
  a.heading += f * std::remainder(after->body.heading - a.heading, 360.0);
  return a;
}

struct Figures {
  double p50 = 0, p95 = 0, max = 0;  // distance, metres
  double heading95 = 0;              // degrees
  // How much faster or slower than the other the client moved between two
  // of its samples 100 ms or more apart, m/s: a jump of a metre shows here,
  // while a frame a millisecond late on a loaded machine does not.
  double speedChange = 0;
};

constexpr std::int64_t kSpanNs = 100'000'000;

// The client against the server within [fromNs, toNs].
Figures Compare(const Samples& server, const Samples& client, std::int64_t fromNs,
                std::int64_t toNs) {
  std::vector<double> metres, degrees;
  Figures f;
  for (std::size_t i = 1, back = 0; i < client.size(); ++i) {
    const auto& c = client[i];
    while (back + 1 < i && client[back + 1].monoNs <= c.monoNs - kSpanNs) ++back;
    if (c.monoNs < fromNs || c.monoNs > toNs || c.monoNs - client[back].monoNs < kSpanNs) {
      continue;
    }
    const trace::Aircraft s = At(server, c.monoNs);
    metres.push_back(trace::DistanceMetres(c.body, s));
    degrees.push_back(std::fabs(std::remainder(c.body.heading - s.heading, 360.0)));
    const auto& b = client[back];
    const double span = static_cast<double>(c.monoNs - b.monoNs) / 1e9;
    f.speedChange =
        std::max(f.speedChange, std::fabs(trace::DistanceMetres(c.body, b.body) -
                                          trace::DistanceMetres(s, At(server, b.monoNs))) /
                                    span);
  }
  std::sort(metres.begin(), metres.end());
  std::sort(degrees.begin(), degrees.end());
  if (metres.size() < 200) return {1e9, 1e9, 1e9, 1e9, 1e9};
  return {metres[metres.size() / 2], metres[metres.size() * 95 / 100], metres.back(),
          degrees[degrees.size() * 95 / 100], f.speedChange};
}

class CloseFollowFlightTest : public SharedFlightTest {
 protected:
  // Both fly the same turning climb, so that the client, flying after the
  // swap, goes on as the server flew. The climb from 5 s after the client's
  // first eased frame to the swap; the swap from a second before to 5 after.
  void Fly(bool closeFollow, Figures& climb, Figures& swap) {
    WriteTable("QV_FollowDummy\n");
    for (int side : {kServer, kClient}) {
      std::ofstream(std::filesystem::path(Folder(side)) / "SharedConfig.cfg", std::ios::app)
          << (closeFollow ? "close follow\n" : "");
    }
    const std::string climbing = "2 fly 25 5 250 1500\n";
    ASSERT_NO_FATAL_FAILURE(
        RunBoth(StartRoleLines(0.1, kServer) + climbing + "14 set MP_TGL 1\n20 quit\n",
                StartRoleLines(0.1, kClient) + climbing + "19.5 quit\n", 30));
    const auto eased = Trace(kClient).SetData(kDefinitionLatitude);
    const auto swapped = Trace(kServer).FirstWrite("MP_TGL", 1.0, trace::By::kScript);
    ASSERT_TRUE(!eased.empty() && swapped);
    const Samples server = Trace(kServer).All<trace::Aircraft>();
    const Samples client = Trace(kClient).All<trace::Aircraft>();
    climb = Compare(server, client, eased.front().monoNs + 5'000'000'000,
                    swapped->monoNs - 500'000'000);
    swap =
        Compare(server, client, swapped->monoNs - 1'000'000'000, swapped->monoNs + 5'000'000'000);
    EXPECT_EQ(CountLines(LogLines(kClient),
                         "Close follow: the following aircraft flies where the other one is now"),
              closeFollow ? 1u : 0u);
  }
};

TEST_F(CloseFollowFlightTest, TheFollowerFliesWhereTheLeaderIsThroughLostBurstsAndASwap) {
  // 40 of every 200 state datagrams from the server lost: a fifth of a
  // second of its stream each second.
  LoadRules(kServer, R"(table inet msburst {
  chain out {
    type filter hook output priority 0;
    oifname "e2e0" udp dport 5001 udp length 144 numgen inc mod 200 < 40 drop
  }
}
)");
  if (HasFatalFailure()) return;
  Figures climb, swap;
  ASSERT_NO_FATAL_FAILURE(Fly(true, climb, swap));
  EXPECT_LE(climb.p50, 5.0);
  EXPECT_LE(climb.p95, 15.0);
  EXPECT_LE(climb.heading95, 0.5);
  EXPECT_LE(climb.speedChange, 10.0);
  EXPECT_LE(swap.max, 10.0);
  EXPECT_LE(swap.speedChange, 10.0);
}

TEST_F(CloseFollowFlightTest, WithoutTheOptionTheFollowerTrailsByTheEasingsLag) {
  Figures climb, swap;
  ASSERT_NO_FATAL_FAILURE(Fly(false, climb, swap));
  // About 0.74 s at 250 kt: some 95 m. At the swap the old leader eases back
  // through the new one, slowing by tens of metres a second.
  EXPECT_GT(climb.p50, 70.0);
  EXPECT_LT(climb.p50, 120.0);
  EXPECT_GT(swap.max, 70.0);
  EXPECT_GT(swap.speedChange, 20.0);
}

}  // namespace
}  // namespace e2e
