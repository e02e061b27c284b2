// multishared-check link on both "computers" at once: on an open link every
// port and direction works; with a firewall that drops one port in one
// direction, exactly that port and direction is named, on both sides.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "shared_flight.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

struct CheckRun {
  std::optional<int> exitCode;
  std::string output;
};

class LinkCheckTest : public SharedFlightTest {
 protected:
  // Runs the checker on both sides at once (or on `only` that side), each
  // with its SharedConfig.cfg.
  std::array<CheckRun, 2> RunCheckers(int seconds, std::optional<int> only = std::nullopt) {
    std::array<std::unique_ptr<ChildProcess>, 2> checks;
    const std::vector<int> sides = only ? std::vector<int>{*only} : std::vector<int>{0, 1};
    for (int side : sides) {
      checks[side] = std::make_unique<ChildProcess>(
          std::vector<std::string>{"ip", "netns", "exec", Net().Namespace(side),
                                   MULTISHARED_CHECK_PATH, "link", Folder(side), "--seconds",
                                   std::to_string(seconds)},
          OutputPath(side), OutputPath(side) + ".err");
    }
    std::array<CheckRun, 2> runs;
    for (int side : sides) {
      runs[side].exitCode = checks[side]->WaitFor(std::chrono::seconds(seconds + 30));
      std::ifstream in(OutputPath(side));
      runs[side].output.assign(std::istreambuf_iterator<char>(in), {});
    }
    return runs;
  }

  void NameOnLineOne(int side, const std::string& address) {
    std::ofstream config(Folder(side) + "/SharedConfig.cfg", std::ios::trunc);
    config << address << "\n" << kBasePort << "\n";
  }

  // A rule in the side's namespace that drops inbound UDP to `port`.
  void DropInbound(int side, int port) {
    const std::string ns = Net().Namespace(side);
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"nft", "add", "table", "inet", "mscheck"},
                                               {"nft", "add", "chain", "inet", "mscheck", "in",
                                                "{ type filter hook input priority 0 ; }"},
                                               {"nft", "add", "rule", "inet", "mscheck", "in",
                                                "udp", "dport", std::to_string(port), "drop"}}) {
      std::vector<std::string> argv{"ip", "netns", "exec", ns};
      argv.insert(argv.end(), command.begin(), command.end());
      const CommandResult result = RunCommand(argv);
      ASSERT_EQ(result.exitCode, 0) << result.output;
    }
  }

 private:
  std::string OutputPath(int side) const { return Folder(side) + "/check-output.txt"; }
};

std::vector<std::string> Verdicts(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("UDP ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

std::string Peer(int side) { return NetnsPair::Address(1 - side); }

// The four verdict lines of `side`, in the checker's order: datagrams in and
// out, reliable connections out and in.
std::vector<std::string> Expected(int side, bool datagramIn, bool datagramOut, bool reliableOut,
                                  bool reliableIn) {
  const std::string peer = Peer(side);
  const auto verdict = [](bool works) { return works ? ": works" : ": FAILS"; };
  return {"UDP 5001 from " + peer + " to this computer (datagram channel)" + verdict(datagramIn),
          "UDP 5001 from this computer to " + peer + " (datagram channel)" + verdict(datagramOut),
          "UDP 34835 from this computer to " + peer + " (reliable channel)" + verdict(reliableOut),
          "UDP 34835 from " + peer + " to this computer (reliable channel)" + verdict(reliableIn)};
}

TEST_F(LinkCheckTest, AnOpenLinkWorksEveryWay) {
  const auto runs = RunCheckers(20);
  for (int side : {kServer, kClient}) {
    SCOPED_TRACE(runs[side].output);
    EXPECT_EQ(runs[side].exitCode, std::optional<int>(0));
    EXPECT_EQ(Verdicts(runs[side].output), Expected(side, true, true, true, true));
  }
}

TEST_F(LinkCheckTest, AFirewallThatDropsOnePortOneWayIsNamedExactly) {
  // Datagrams cannot reach side 0; reliable connections cannot reach side 1.
  ASSERT_NO_FATAL_FAILURE(DropInbound(kServer, 5001));
  ASSERT_NO_FATAL_FAILURE(DropInbound(kClient, 34835));
  const auto runs = RunCheckers(10);
  const std::string server = runs[kServer].output;
  const std::string client = runs[kClient].output;
  EXPECT_EQ(runs[kServer].exitCode, std::optional<int>(1)) << server;
  EXPECT_EQ(runs[kClient].exitCode, std::optional<int>(1)) << client;
  const std::string p0 = Peer(kServer);
  const std::string p1 = Peer(kClient);
  EXPECT_EQ(Verdicts(server), Expected(kServer, false, true, false, true)) << server;
  EXPECT_EQ(Verdicts(client), Expected(kClient, true, false, true, false)) << client;
  // Each failure comes with the step that mends it, on the right computer.
  EXPECT_NE(server.find("fix: on this computer, allow inbound UDP 5001"), std::string::npos);
  EXPECT_NE(server.find("fix: on the other computer (" + p0 + "), allow inbound UDP 34835"),
            std::string::npos);
  EXPECT_NE(client.find("fix: on the other computer (" + p1 + "), allow inbound UDP 5001"),
            std::string::npos);
  EXPECT_NE(client.find("fix: on this computer, allow inbound UDP 34835"), std::string::npos);
}

// With this computer's own address on line 1 every probe would answer
// itself and the link would seem to work; the checker says what is wrong.
TEST_F(LinkCheckTest, OwnAddressOnLineOneIsNamedAndNeverPasses) {
  NameOnLineOne(kServer, NetnsPair::Address(kServer));
  const auto runs = RunCheckers(3, kServer);
  const std::string output = runs[kServer].output;
  EXPECT_EQ(runs[kServer].exitCode, std::optional<int>(1)) << output;
  EXPECT_NE(output.find(std::string(NetnsPair::Address(kServer)) +
                        " on line 1 of SharedConfig.cfg is this computer's own address; it must "
                        "name the other computer"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("The link works"), std::string::npos) << output;
}

// Side 0 names a computer that is not there; side 1's checker, which names
// side 0, probes and connects all the while. None of that is side 0's link.
TEST_F(LinkCheckTest, OnlyTheNamedPeersProbesAndConnectionsCount) {
  NameOnLineOne(kServer, "198.18.0.9");
  const auto runs = RunCheckers(6);
  const std::string server = runs[kServer].output;
  EXPECT_EQ(runs[kServer].exitCode, std::optional<int>(1)) << server;
  const auto verdicts = Verdicts(server);
  EXPECT_EQ(verdicts.size(), 4u) << server;
  for (const auto& line : verdicts) EXPECT_NE(line.find(": FAILS"), std::string::npos) << line;
  // Side 1 did reach side 0 in both channels: its own view is not all failed.
  EXPECT_NE(runs[kClient].output.find(": works"), std::string::npos) << runs[kClient].output;
}

}  // namespace
}  // namespace e2e
