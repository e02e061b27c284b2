// Sessions that survive real pilots: a client that starts long before its
// server, and a server that dies and comes back. The figures the scenario
// measures (frame gaps, time to reconnect) are printed.
#include <algorithm>
#include <iostream>
#include <thread>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

constexpr const char* kTable =
    "QV_FromServer\n"
    "QV_FromClient\n";

double Seconds(std::int64_t ns) { return static_cast<double>(ns) / 1e9; }

struct FrameGap {
  std::int64_t ns = 0;
  double at = 0.0;  // the simulator's clock at the frame that ended it
};

// The longest time between two frames of a simulator, from its aircraft
// records (one a frame).
FrameGap LongestFrameGap(const SideTrace& trace) {
  const auto frames = trace.All<trace::Aircraft>();
  FrameGap longest;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const std::int64_t gap = frames[i].monoNs - frames[i - 1].monoNs;
    if (gap > longest.ns) longest = {gap, frames[i].t};
  }
  return longest;
}

std::int64_t FirstRecordNs(const SideTrace& trace) {
  const auto frames = trace.All<trace::Aircraft>();
  return frames.empty() ? 0 : frames.front().monoNs;
}

class ReconnectTest : public SharedFlightTest {};

TEST_F(ReconnectTest, LateServerAndRestartedServerBothConnectAndShareBothWays) {
  WriteTable(kTable);
  // The client's clock: role at once, a change at 16 s (the first server
  // runs from about 10 s), another at 22 s (the second server from about
  // 16.5 s).
  Start(kClient,
        StartRoleLines(0.1, 1) +
            "16 set QV_FromClient 4\n"
            "22 set QV_FromClient 6\n"
            "36 quit\n",
        60);
  ASSERT_TRUE(WaitForLogLine(kClient, "clientLoop start", std::chrono::seconds(10)));
  std::this_thread::sleep_for(std::chrono::seconds(10));

  Start(kServer, StartRoleLines(0.1, 0) + "4 set QV_FromServer 3\n60 quit\n", 70, "-first");
  ASSERT_TRUE(WaitForLogLine(kServer, "LvarsSet: QV_FromClient Value: 4", std::chrono::seconds(20)))
      << "the late server never got the client's change";
  Kill(kServer);
  // The second server finds the client's greeting-less connection dead at
  // its first greeting; changes must flow within its first ten seconds.
  Start(kServer, StartRoleLines(0.1, 0) + "5 set QV_FromServer 7\n12 quit\n", 20, "-second");
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kServer);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(60)), std::optional<int>(0))
      << ErrorOutput(kClient);

  const SideTrace client = Trace(kClient);
  const SideTrace second = Trace(kServer, "-second");
  const auto serverLog = LogLines(kServer);
  const auto clientLog = LogLines(kClient);

  // Late start: the client showed the failure, then the link, and got the
  // first server's change; the server got the client's (checked above).
  const auto firstFailure = client.FirstWrite("MP_STS", 2.0, By::kModule);
  ASSERT_TRUE(firstFailure);
  const auto firstLink = client.FirstWrite("MP_STS", 1.0, By::kModule, firstFailure->monoNs);
  ASSERT_TRUE(firstLink);
  EXPECT_TRUE(client.FirstWrite("QV_FromServer", 3.0, By::kModule));

  // Restart: the link came back on both sides and changes flowed both ways.
  // The client may drop and remake the link within one pass of its send
  // loop, so the cockpit need not show the 2 in between; while the second
  // server runs it ends at 1.
  const std::int64_t restartNs = FirstRecordNs(second);
  const std::int64_t secondEndNs = second.All<trace::Aircraft>().back().monoNs;
  double shown = -1.0;
  for (const auto& w : client.Writes("MP_STS", By::kModule)) {
    if (w.monoNs < secondEndNs) shown = w.body.value;
  }
  EXPECT_EQ(shown, 1.0);
  const auto relink = client.FirstWrite("MP_STS", 1.0, By::kModule, restartNs);
  EXPECT_TRUE(second.FirstWrite("MP_STS", 1.0, By::kModule));
  const auto fromSecond = client.FirstWrite("QV_FromServer", 7.0, By::kModule, restartNs);
  EXPECT_TRUE(fromSecond) << "the second server's change did not reach the client";
  const auto toSecond = second.FirstWrite("QV_FromClient", 6.0, By::kModule);
  EXPECT_TRUE(toSecond) << "the client's change did not reach the second server";
  EXPECT_EQ(CountLines(clientLog, "The server has started again; connecting anew"), 1u);
  EXPECT_EQ(CountLines(clientLog, "R UDP connected to " + std::string(NetnsPair::Address(kServer))),
            2u);

  // The simulator's frames never waited for a connect attempt, which takes
  // UDT 3 s to give up; a loaded machine alone can hold a frame up for a
  // second, so the bound lies between the two.
  const FrameGap longestGap = LongestFrameGap(client);
  EXPECT_LT(longestGap.ns, 2'500'000'000) << "a client frame stalled at " << longestGap.at << " s";

  std::cout << "client frames: longest gap " << Seconds(longestGap.ns) * 1000 << " ms, at "
            << longestGap.at << " s\n"
            << "late start: link shown " << Seconds(firstLink->monoNs - firstFailure->monoNs)
            << " s after the first failure\n"
            << "restart (seconds after the second server started):";
  if (relink) std::cout << " client shows the link at " << Seconds(relink->monoNs - restartNs);
  if (fromSecond) std::cout << ", its change applied " << Seconds(fromSecond->monoNs - restartNs);
  if (toSecond) std::cout << " s, the client's " << Seconds(toSecond->monoNs - restartNs) << " s";
  std::cout << "\n";
  ExpectShutdownHandshake(clientLog, "client");
  ExpectShutdownHandshake(serverLog, "second server");
}

}  // namespace
}  // namespace e2e
