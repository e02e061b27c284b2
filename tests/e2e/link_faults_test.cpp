// The shared flight on a bad link: a fifth of all packets lost both ways, a
// stranger on the link sending garbage and well-formed records, and a peer
// killed without warning.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

// Loses 20% of what leaves the link and counts the state datagrams (136
// bytes of payload, 144 with the UDP header) to the datagram port: sent in
// "out" before the loss, arrived in "in".
constexpr const char* kLossRules = R"(table inet msfault {
  chain out {
    type filter hook output priority 0;
    oifname "e2e0" udp dport 5001 udp length 144 counter
    oifname "e2e0" numgen random mod 100 < 20 drop
  }
  chain in {
    type filter hook input priority 0;
    iifname "e2e0" udp dport 5001 udp length 144 counter
  }
}
)";

class LinkFaultsTest : public SharedFlightTest {
 protected:
  // The packet count of the counter rule in `chain` of that side's table.
  long Counted(int side, const std::string& chain) const {
    const CommandResult list =
        InNamespace(side, {"nft", "list", "chain", "inet", "msfault", chain});
    std::smatch match;
    static const std::regex kCounter("counter packets ([0-9]+)");
    if (!std::regex_search(list.output, match, kCounter)) return -1;
    return std::stol(match[1]);
  }
};

TEST_F(LinkFaultsTest, LossOfAFifthLosesNoReliableChangeAndKeepsTheStateFlowing) {
  WriteTable("QV_Rel_S\nQV_Rel_C\nQV_Dgm_S;FCTL\n");
  LoadRules(kServer, kLossRules);
  LoadRules(kClient, kLossRules);
  if (HasFatalFailure()) return;
  // The changes begin 5 s in: at this loss a connect may take two attempts
  // (2 s apart), and a change made before the link is up reaches the peer
  // only as the latest value of its variable.
  constexpr int kChanges = 30;
  constexpr double kQuit = 24.0;
  RunBoth(InTimeOrder(StartRoleLines(0.1, 0) + "1 fly 10 2 250 500\n" +
                      Changes("QV_Rel_S", 5.0, kChanges, 0.5, 1.0) +
                      Changes("QV_Dgm_S", 5.2, kChanges, 0.5, 2.0) + "24 quit\n"),
          StartRoleLines(0.1, 1) + Changes("QV_Rel_C", 5.1, kChanges, 0.5, 1.0) + "23 quit\n", 40);
  const SideTrace server = Trace(kServer);
  const SideTrace client = Trace(kClient);

  // Reliable changes: each once, in order, both ways.
  EXPECT_EQ(Values(client.Writes("QV_Rel_S", By::kModule)), Sequence(kChanges, 1.0));
  EXPECT_EQ(Values(server.Writes("QV_Rel_C", By::kModule)), Sequence(kChanges, 1.0));

  // Datagram changes: those that arrived are applied, in the order sent.
  const std::vector<double> arrived = Values(client.Writes("QV_Dgm_S", By::kModule));
  const std::vector<double> sent = Sequence(kChanges, 2.0);
  std::cout << "datagram changes: " << arrived.size() << " of " << sent.size() << " applied\n";
  EXPECT_GE(arrived.size(), sent.size() / 2);
  EXPECT_TRUE(std::includes(sent.begin(), sent.end(), arrived.begin(), arrived.end()));

  // The state stream: what the server sent and what reached the follower.
  const long sentStates = Counted(kServer, "out");
  const long arrivedStates = Counted(kClient, "in");
  ASSERT_GT(sentStates, 0);
  const double share = static_cast<double>(arrivedStates) / static_cast<double>(sentStates);
  std::cout << "state records: " << sentStates << " sent, " << arrivedStates << " arrived ("
            << share * 100.0 << " %), " << arrivedStates / kQuit << " a second at the follower\n";
  EXPECT_GT(share, 0.7);
  EXPECT_LT(share, 0.9);  // the loss rule did its part
  EXPECT_FALSE(client.SetData(kDefinitionLatitude).empty());
}

TEST_F(LinkFaultsTest, AStrangerOnTheLinkChangesNothingAndThePairFliesOn) {
  WriteTable("QV_A\nQV_B\nQV_F;FCTL\nQV_M;MBTN\n");
  // The stranger's address sits on the client's end of the link.
  ASSERT_NO_FATAL_FAILURE(PlaceStranger(kClient));
  constexpr int kChanges = 16;
  Start(kServer,
        StartRoleLines(0.1, 0) + "1 fly 0 0 250 0\n" + Changes("QV_A", 4.0, kChanges, 0.5, 1.0) +
            "16 quit\n",
        30);
  ASSERT_TRUE(WaitForLogLine(kServer, "serverLoop start", std::chrono::seconds(10)));
  Start(kClient, StartRoleLines(0.1, 1) + Changes("QV_B", 4.1, kChanges, 0.5, 1.0) + "15 quit\n",
        30);
  constexpr int kFloodSeconds = 10;
  StartHelper(kClient, "stranger",
              {STRANGER_PATH, kStranger, NetnsPair::Address(kServer), NetnsPair::Address(kClient),
               std::to_string(kBasePort), std::to_string(kFloodSeconds)});
  const double cpuBefore = CpuSeconds(SimPid(kServer));
  const auto wallBefore = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(kFloodSeconds - 1));
  const double cpu = CpuSeconds(SimPid(kServer)) - cpuBefore;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  std::cout << "server CPU during the flood: " << cpu << " s in " << wall << " s\n";
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kServer);
  // A receive loop that spun on the flood would take a whole core.
  EXPECT_LT(cpu, 0.9 * wall);

  const SideTrace server = Trace(kServer);
  const SideTrace client = Trace(kClient);
  for (const SideTrace* side : {&server, &client}) {
    for (const char* name : {"QV_A", "QV_B", "QV_F", "QV_M"}) {
      for (const auto& w : side->Writes(name, By::kModule)) EXPECT_NE(w.body.value, 77.0) << name;
    }
    for (const auto& k : side->KeyEvents(By::kModule)) EXPECT_NE(k.body.id, 66000u);
    for (const auto& g : side->SetData(kDefinitionGearHandle)) EXPECT_NE(g.body.value, 77.0);
  }
  // The follower never eased toward the stranger's position (77 N).
  for (const auto& s : client.SetData(kDefinitionLatitude)) EXPECT_LT(s.body.value, 60.0);
  // The server never took the stranger's swap.
  EXPECT_FALSE(server.FirstWrite("MP_CONN", 1.0, By::kModule));

  EXPECT_EQ(Values(client.Writes("QV_A", By::kModule)), Sequence(kChanges, 1.0));
  EXPECT_EQ(Values(server.Writes("QV_B", By::kModule)), Sequence(kChanges, 1.0));
  const std::string refused = std::string(" from ") + kStranger;
  EXPECT_EQ(CountLines(LogLines(kServer), "Refused datagram" + refused), 1u);
  EXPECT_EQ(CountLines(LogLines(kServer), "Refused reliable connection" + refused), 1u);
  EXPECT_EQ(CountLines(LogLines(kClient), "Refused datagram" + refused), 1u);
}

TEST_F(LinkFaultsTest, APeerKilledMidFlightLeavesAShowingAndStoppableSurvivor) {
  WriteTable("QV_A\n");
  Start(kServer, StartRoleLines(0.1, 0) + "1 fly 0 0 250 0\n90 quit\n", 100);
  ASSERT_TRUE(WaitForLogLine(kServer, "serverLoop start", std::chrono::seconds(10)));
  // The survivor keeps changing a variable, so that UDT has something to
  // deliver; it gives a silent peer up only after some 40 s of growing waits.
  Start(kClient, StartRoleLines(0.1, 1) + Changes("QV_A", 1.0, 130, 0.5, 1.0) + "70 quit\n", 80);
  ASSERT_TRUE(WaitForLogLine(kClient, "clientLoop start", std::chrono::seconds(15)));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  // The trace's clock is CLOCK_MONOTONIC, as steady_clock is here.
  const std::int64_t killedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
  ASSERT_EQ(::kill(SimPid(kServer), SIGKILL), 0);

  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(100)), std::optional<int>(0))
      << ErrorOutput(kClient);
  const SideTrace client = Trace(kClient);
  const auto connected = client.FirstWrite("MP_STS", 1.0, By::kModule);
  ASSERT_TRUE(connected);
  const auto lost = client.FirstWrite("MP_STS", 2.0, By::kModule, killedNs);
  ASSERT_TRUE(lost) << "the survivor never showed the lost link";
  const auto log = LogLines(kClient);
  ExpectShutdownHandshake(log, "client");
  std::cout << "link loss shown " << (lost->monoNs - killedNs) / 1e9 << " s after the kill; "
            << CountLines(log, "Waiting for thread close") << " stop waits of 10 ms\n";
}

}  // namespace
}  // namespace e2e
