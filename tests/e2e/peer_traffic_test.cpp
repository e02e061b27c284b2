// What only the named peer's traffic may do, tried as an attacker would: a
// line 1 that one reader takes for another computer, and greeting datagrams
// from the server's address that would tear down a live reliable link.
#include <chrono>
#include <fstream>
#include <iostream>
#include <regex>
#include <thread>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

std::vector<double> Steps(int count) {
  std::vector<double> values;
  for (int i = 1; i <= count; ++i) values.push_back(i);
  return values;
}

class PeerTrafficTest : public SharedFlightTest {
 protected:
  // The packet count of the first counter rule in `chain` of table msseen.
  long Counted(int side, const std::string& chain) const {
    const CommandResult list = InNamespace(side, {"nft", "list", "chain", "inet", "msseen", chain});
    std::smatch match;
    static const std::regex kCounter("counter packets ([0-9]+)");
    if (!std::regex_search(list.output, match, kCounter)) return -1;
    return std::stol(match[1]);
  }
};

// "198.18.0.02" is the client's address to a reader that takes the leading
// zero as octal, and no address to one that refuses it: the flying server
// must refuse it for every use, name the mistake, and send nothing at all.
TEST_F(PeerTrafficTest, ALeadingZeroOnLineOneIsRefusedAndNothingReachesAnyComputer) {
  WriteTable("QV_Rel\nQV_Dgm;FCTL\n");
  {
    std::ofstream config(Folder(kServer) + "/SharedConfig.cfg", std::ios::trunc);
    config << "198.18.0.02\n" << kBasePort << "\n";
  }
  LoadRules(kClient, R"(table inet msseen {
  chain in {
    type filter hook input priority 0;
    ip saddr 198.18.0.1 udp dport { 5000, 5001 } counter
  }
}
)");
  if (HasFatalFailure()) return;
  RunBoth(StartRoleLines(0.1, 0) + "1 fly 0 0 250 0\n2 set QV_Rel 1\n3 set QV_Dgm 2\n9 quit\n",
          StartRoleLines(0.1, 1) + "8 quit\n", 20);
  // Only the datagram ports count: the server's UDT still answers the
  // client's connect attempts (from its own port) before they are refused.
  const long reached = Counted(kClient, "in");
  std::cout << "datagrams from the server at the client: " << reached << "\n";
  EXPECT_EQ(reached, 0) << "the server's traffic reached the client";
  const auto log = LogLines(kServer);
  EXPECT_EQ(CountLines(log,
                       "SharedConfig.cfg line 1: \"198.18.0.02\" has a number with a leading "
                       "zero, which some programs read as octal (another computer); write "
                       "it without, such as 198.18.0.2; nothing is sent to the other "
                       "computer until it is mended"),
            1u);
  EXPECT_FALSE(Trace(kClient).FirstWrite("MP_STS", 1.0, By::kModule));
  EXPECT_FALSE(Trace(kServer).FirstWrite("MP_STS", 1.0, By::kModule));
}

// Anyone who can send from the server's address (any port) can send the
// greeting a starting server sends. Each one is checked against the live
// link, which answers, so the link stays and no reliable change is lost.
TEST_F(PeerTrafficTest, GreetingsFromTheServersAddressDoNotDropALiveLink) {
#if defined(__SANITIZE_THREAD__)
  // Under ThreadSanitizer the link check's one second was seen to pass with
  // no acknowledgement counted and changes lost; not yet understood.
  GTEST_SKIP() << "the link check's timing is not yet proven under ThreadSanitizer";
#endif
  WriteTable("QV_Rel\n");
  constexpr int kChanges = 24;
  std::string serverScript = StartRoleLines(0.1, 0);
  for (int i = 1; i <= kChanges; ++i) {
    serverScript += std::to_string(3.0 + 0.5 * i) + " set QV_Rel " + std::to_string(i) + "\n";
  }
  Start(kServer, serverScript + "20 quit\n", 30);
  ASSERT_TRUE(WaitForLogLine(kServer, "serverLoop start", std::chrono::seconds(10)));
  Start(kClient, StartRoleLines(0.1, 1) + "19 quit\n", 30);
  const std::string server = NetnsPair::Address(kServer);
  ASSERT_TRUE(WaitForLogLine(kClient, "R UDP connected to " + server, std::chrono::seconds(10)));
  // A greeting datagram (136 zero bytes) from a new port each time, every
  // 1.2 s, as in the attack that dropped the link 19 times in 22 s.
  const std::string greet = "head -c 136 /dev/zero > /dev/udp/" +
                            std::string(NetnsPair::Address(kClient)) + "/" +
                            std::to_string(kBasePort + 1);
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(InNamespace(kServer, {"bash", "-c", greet}).exitCode, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  }
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(30)), std::optional<int>(0))
      << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(30)), std::optional<int>(0))
      << ErrorOutput(kServer);

  const auto log = LogLines(kClient);
  // The greetings arrived and were checked (the line is logged once a minute).
  EXPECT_EQ(CountLines(log, "A greeting came from " + server +
                                " while the reliable link answers; the link is kept"),
            1u);
  EXPECT_EQ(CountLines(log, "The server has started again; connecting anew"), 0u);
  EXPECT_EQ(CountLines(log, "R UDP connected to " + server), 1u);
  const SideTrace client = Trace(kClient);
  EXPECT_EQ(Values(client.Writes("QV_Rel", By::kModule)), Steps(kChanges));
  const auto linked = client.FirstWrite("MP_STS", 1.0, By::kModule);
  ASSERT_TRUE(linked);
  const auto lost = client.FirstWrite("MP_STS", 2.0, By::kModule, linked->monoNs);
  EXPECT_FALSE(lost) << "the link was dropped at " << lost->t << " s";
}

}  // namespace
}  // namespace e2e
