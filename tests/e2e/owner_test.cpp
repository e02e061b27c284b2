// Who owns the cockpit, end to end: a gauge that holds a value, display
// switches that differ, the FCU pairs' gaps, a cut with the newer change on
// the flying side, the host restarted while the guest flies, a peer that
// speaks the protocol only, forged handshakes and tables that differ. Each
// scenario prints the figure it measures.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <regex>
#include <string>
#include <thread>
#include <tuple>

#include "shared_flight.h"

namespace e2e {
namespace {

using std::chrono::seconds;
using trace::By;

constexpr std::int64_t kEnd = std::numeric_limits<std::int64_t>::max();
// The reliable port is the base port with its two bytes swapped.
constexpr int kReliablePort = ((kBasePort & 0xFF) << 8) | (kBasePort >> 8);
// IPv4, UDP and UDT data headers before a data packet's records.
constexpr std::uint64_t kDataPacketHeaders = 20 + 8 + 16;

double Seconds(std::int64_t ns) { return static_cast<double>(ns) / 1e9; }

std::size_t WritesIn(const SideTrace& trace, const std::string& name, std::int64_t fromNs,
                     std::int64_t toNs = kEnd) {
  std::size_t n = 0;
  for (const auto& w : trace.Writes(name, By::kModule)) n += w.monoNs >= fromNs && w.monoNs < toNs;
  return n;
}

// When the pilot of that trace set `name` to `value` (0 and a failure when never).
std::int64_t PilotSet(const SideTrace& trace, const std::string& name, double value) {
  const auto set = trace.FirstWrite(name, value, By::kScript);
  EXPECT_TRUE(set) << "the script never set " << name << " to " << value;
  return set ? set->monoNs : 0;
}

// When the module of that trace first wrote `value` to `name` after `afterNs`.
std::int64_t Arrived(const SideTrace& trace, const std::string& name, double value,
                     std::int64_t afterNs) {
  const auto write = trace.FirstWrite(name, value, By::kModule, afterNs);
  EXPECT_TRUE(write) << name << " " << value << " never arrived";
  return write ? write->monoNs : afterNs;
}

struct Counted {
  std::uint64_t packets = 0;
  std::uint64_t bytes = 0;
};

class OwnerTest : public SharedFlightTest {
 protected:
  // A named nftables counter in `side`'s namespace.
  Counted Counter(int side, const std::string& table, const std::string& name) const {
    const CommandResult r = InNamespace(side, {"nft", "list", "counter", "inet", table, name});
    static const std::regex kLine("packets ([0-9]+) bytes ([0-9]+)");
    std::smatch m;
    EXPECT_TRUE(std::regex_search(r.output, m, kLine)) << r.output;
    return m.empty() ? Counted{} : Counted{std::stoull(m[1]), std::stoull(m[2])};
  }

  void ClearLogs() const {
    for (int side : {kServer, kClient}) {
      std::filesystem::remove(std::filesystem::path(Folder(side)) / "SharedDetails.log");
    }
  }

  std::size_t LinesWith(int side, const std::string& part) const {
    const auto log = LogLines(side);
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }

  // A forged handshake from `forger` (a port of its own) while the pair flies:
  // the host keeps its link and sends the forger at most twice its bytes.
  void Forge(const char* forger, const std::string& hostLines) {
    constexpr int kForgerPort = 40123;
    constexpr int kChanges = 30;
    WriteTable("QV_A\nQV_B\n");
    WriteConfig(kServer, hostLines);
    const std::string port = std::to_string(kForgerPort);
    LoadRules(kServer, std::string("table inet msforge {\n counter toForger {}\n") +
                           " counter fromForger {}\n chain in {\n  type filter hook input "
                           "priority 0;\n  ip saddr " +
                           forger + " udp sport " + port +
                           " counter name fromForger\n }\n chain out {\n  type filter hook "
                           "output priority 0;\n  ip daddr " +
                           forger + " udp dport " + port + " counter name toForger\n }\n}\n");
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(StartServerThenClient(
        StartRoleLines(0.1, kServer) + Changes("QV_A", 2.0, kChanges, 0.5) + "20 quit\n",
        StartRoleLines(0.1, kClient) + Changes("QV_B", 2.1, kChanges, 0.5) + "19.5 quit\n",
        seconds(0), 25));
    ASSERT_TRUE(WaitForLogLine(kServer, "LvarsSet: QV_B Value: 2", std::chrono::seconds(10)));
    const CommandResult run =
        InNamespace(kClient, {HANDSHAKE_PATH, forger, NetnsPair::Address(kServer),
                              std::to_string(kReliablePort), "1500", "25600", "1", "1", port});
    const std::int64_t forgedNs = SteadyNowNs();
    std::this_thread::sleep_for(seconds(2));
    const Counted in = Counter(kServer, "msforge", "fromForger");
    const Counted out = Counter(kServer, "msforge", "toForger");
    WaitForBoth(25);
    std::cout << "forged handshake from " << forger << ": the host sent " << out.bytes
              << " bytes in " << out.packets << " packets for the forger's " << in.bytes
              << " bytes in " << in.packets << "; the forger saw: " << run.output;
    EXPECT_GT(in.packets, 1u) << run.output;
    EXPECT_LE(out.bytes, 2 * in.bytes);
    EXPECT_EQ(
        CountLines(LogLines(kServer), "Refused reliable connection from " + std::string(forger) +
                                          " (no greeting within 0.8 s)"),
        1u);
    // The real guest kept its one link and every change crossed after the forgery too.
    EXPECT_EQ(CountLines(LogLines(kClient),
                         "R UDP connected to " + std::string(NetnsPair::Address(kServer))),
              1u);
    EXPECT_EQ(Values(Trace(kClient).Writes("QV_A", By::kModule)), Sequence(kChanges));
    EXPECT_EQ(Values(Trace(kServer).Writes("QV_B", By::kModule)), Sequence(kChanges));
    EXPECT_GT(WritesIn(Trace(kServer), "QV_B", forgedNs), 0u);
  }
};

TEST_F(OwnerTest, AGaugeOnTheFlyingSideHoldsItsValue) {
  WriteTable("QV_H\n");
  std::string host = StartRoleLines(0.1, kServer);
  for (int k = 10; k <= 140; ++k) host += Set(k / 10.0, "QV_H", 5);  // the gauge, 10 a second
  host += "15 quit\n";
  const std::string guest = StartRoleLines(0.1, kClient) + Set(6.0, "QV_H", 7) + "14.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(StartServerThenClient(host, guest, seconds(0), 20));
  WaitForBoth(20);
  const SideTrace traces[2] = {Trace(kServer), Trace(kClient)};
  const std::int64_t changed = PilotSet(traces[kClient], "QV_H", 7);
  std::int64_t settled = changed;
  for (const SideTrace& t : traces) {
    EXPECT_EQ(t.Last("QV_H"), 5.0);
    const auto writes = t.Writes("QV_H", By::kModule);
    if (!writes.empty()) settled = std::max(settled, writes.back().monoNs);
  }
  const std::size_t onHost = WritesIn(traces[kServer], "QV_H", changed);
  const std::size_t onGuest = WritesIn(traces[kClient], "QV_H", changed);
  std::cout << "gauge hold: " << onHost << " writes of QV_H on the host, " << onGuest
            << " on the guest, settled after " << Seconds(settled - changed) << " s\n";
  EXPECT_LE(onHost, 2u) << "the two sides trade the value";
  EXPECT_LE(onGuest, 2u) << "the two sides trade the value";
}

TEST_F(OwnerTest, DisplaySwitchesThatDifferBothWays) {
  WriteTable("QV_D;DISP\n");
  // The switch goes off on one side before it comes on at the other, so that
  // they are never both on.
  const std::string host = StartRoleLines(0.1, kServer) + "0.5 set MP_SYNCDSP 1\n" +
                           Set(3, "QV_D", 3) + "8 set MP_SYNCDSP 0\n" + Set(12, "QV_D", 11) +
                           "16 quit\n";
  const std::string guest = StartRoleLines(0.1, kClient) + Set(5, "QV_D", 8) +
                            "9 set MP_SYNCDSP 1\n" + Set(10, "QV_D", 9) + "15.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(StartServerThenClient(host, guest, seconds(0), 20));
  WaitForBoth(20);
  const SideTrace hostTrace = Trace(kServer);
  const SideTrace guestTrace = Trace(kClient);
  const std::size_t onGuest = WritesIn(guestTrace, "QV_D", PilotSet(guestTrace, "QV_D", 8));
  const std::size_t onHost = WritesIn(hostTrace, "QV_D", PilotSet(hostTrace, "QV_D", 11));
  std::cout << "display switches differ: QV_D set back " << onGuest
            << " times on the guest (its switch off), " << onHost
            << " times on the host (its switch off)\n";
  EXPECT_EQ(onGuest, 0u) << "the guest's display change was set back";
  EXPECT_EQ(onHost, 0u) << "the host's display change was set back";
}

TEST_F(OwnerTest, FcuhAloneAndAnEqualPairFromTheFollowingSide) {
  WriteTable("QV_U;FCU\nQV_Uh;FCUh\n");
  const std::string host =
      StartRoleLines(0.1, kServer) + Set(1, "QV_U", 20) + Set(1, "QV_Uh", 10) + "13 quit\n";
  const std::string guest = StartRoleLines(0.1, kClient) + Set(4, "QV_Uh", 30) +
                            Set(7, "QV_U", 50) + Set(7, "QV_Uh", 50) + "12.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(StartServerThenClient(host, guest, seconds(0), 18));
  WaitForBoth(18);
  const SideTrace hostTrace = Trace(kServer);
  const SideTrace guestTrace = Trace(kClient);
  const std::int64_t alone = PilotSet(guestTrace, "QV_Uh", 30);
  const std::int64_t pair = PilotSet(guestTrace, "QV_U", 50);
  const double aloneDelay = Seconds(Arrived(hostTrace, "QV_Uh", 30, alone) - alone);
  const double pairDelay = Seconds(
      std::max(Arrived(hostTrace, "QV_U", 50, pair), Arrived(hostTrace, "QV_Uh", 50, pair)) - pair);
  EXPECT_EQ(hostTrace.Last("QV_U"), 50.0);
  EXPECT_EQ(hostTrace.Last("QV_Uh"), 50.0);
  const std::size_t setBack =
      WritesIn(guestTrace, "QV_U", alone) + WritesIn(guestTrace, "QV_Uh", alone);
  std::cout << "FCUh alone reached the flying side after " << aloneDelay
            << " s, the equal pair after " << pairDelay << " s; " << setBack
            << " writes back on the following side\n";
  EXPECT_EQ(setBack, 0u) << "the following pilot's FCU change was set back";
}

TEST_F(OwnerTest, ACutWithTheNewerChangeOnTheFlyingSide) {
  const std::vector<Var> vars{{"QV_X", ""}, {"QV_XD", "DISP"}};
  WriteTable(TableText(vars));
  std::string host = StartRoleLines(0.1, kServer) + "0.5 set MP_SYNCDSP 1\n";
  std::string guest = StartRoleLines(0.1, kClient) + "0.5 set MP_SYNCDSP 1\n";
  for (const Var& v : vars) {
    host += Set(10, v.name, 9);
    guest += Set(7, v.name, 4);
  }
  const std::int64_t startNs = SteadyNowNs();
  ASSERT_NO_FATAL_FAILURE(
      StartServerThenClient(host + "20 quit\n", guest + "19.5 quit\n", seconds(0), 25));
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
      std::chrono::nanoseconds(startNs) + std::chrono::milliseconds(5000)));
  const std::int64_t cutNs = SteadyNowNs();
  LoadRules(kServer,
            "table inet mscut {\n chain in {\n  type filter hook input priority 0;\n"
            "  iifname \"e2e0\" drop\n }\n chain out {\n"
            "  type filter hook output priority 0;\n  oifname \"e2e0\" drop\n }\n}\n");
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
      std::chrono::nanoseconds(startNs) + std::chrono::milliseconds(11500)));
  EXPECT_EQ(InNamespace(kServer, {"nft", "delete", "table", "inet", "mscut"}).exitCode, 0);
  const std::int64_t restoredNs = SteadyNowNs();
  WaitForBoth(25);
  const SideTrace hostTrace = Trace(kServer);
  const SideTrace guestTrace = Trace(kClient);
  for (const Var& v : vars) {
    SCOPED_TRACE(v.name);
    const std::int64_t guestSet = PilotSet(guestTrace, v.name, 4);
    const std::int64_t hostSet = PilotSet(hostTrace, v.name, 9);
    ASSERT_TRUE(cutNs < guestSet && guestSet < hostSet && hostSet < restoredNs)
        << "the changes were not made in that order during the cut";
    EXPECT_EQ(hostTrace.Last(v.name), 9.0);
    EXPECT_EQ(guestTrace.Last(v.name), 9.0);
    ExpectOnlyWrites(kServer, v.name, 9.0, cutNs, "the follower's older change won");
    const std::size_t writes = WritesIn(guestTrace, v.name, guestSet);
    EXPECT_LE(writes, 1u);
    std::cout << "cut: " << v.name << " on the following side took the flying side's newer value "
              << Seconds(Arrived(guestTrace, v.name, 9, restoredNs) - restoredNs)
              << " s after the link returned, in " << writes << " writes\n";
  }
}

TEST_F(OwnerTest, TheHostRestartsWhileTheGuestFliesGearDown) {
  const std::vector<std::pair<std::string, double>> values{{"QV_A", 3}, {"QV_C", 40}, {"QV_D", 6}};
  WriteTable("QV_A\nQV_C;FCU\nQV_D;DISP\n");
  const std::string sync = "0.5 set MP_SYNCDSP 1\n";
  std::string guest = StartRoleLines(0.1, kClient) + sync + "2 set MP_TGL 1\n2.5 gear 1\n";
  for (const auto& [name, value] : values) guest += Set(2.5, name, value);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string run = "-" + std::to_string(round);
    ClearLogs();
    ASSERT_NO_FATAL_FAILURE(StartServerThenClient(StartRoleLines(0.1, kServer) + sync + "60 quit\n",
                                                  guest + "16 quit\n", seconds(0), 30, run));
    ASSERT_TRUE(WaitForLogLine(kServer, "LvarsSet: QV_A Value: 3", seconds(10)));
    std::this_thread::sleep_for(seconds(1));
    Kill(kServer);
    const std::int64_t restartNs = SteadyNowNs();
    // The restarted host outlives the guest, so that the round ends on a link that is up.
    Start(kServer, StartRoleLines(0.1, kServer) + sync + "14 quit\n", 20, "-again" + run);
    EXPECT_EQ(WaitForExit(kServer, seconds(40)), std::optional<int>(0)) << ErrorOutput(kServer);
    // The guest quit before the host, and its stop waits for no connection
    // to the host it lost (once some 30 s of UDT's lingering).
    EXPECT_EQ(WaitForExit(kClient, seconds(8)), std::optional<int>(0)) << ErrorOutput(kClient);
    const SideTrace guestTrace = Trace(kClient, run);
    const SideTrace again = Trace(kServer, "-again" + run);
    // The guest still flies and the restarted host follows.
    ExpectOnlyWrites(kClient, "MP_CONN", 0.0, restartNs, "the guest stopped flying", run);
    const auto hostConn = again.Writes("MP_CONN", By::kModule);
    EXPECT_TRUE(!hostConn.empty() && hostConn.back().body.value == 1.0);
    // The restarted host takes the guest's cockpit; the guest keeps it.
    std::int64_t taken = restartNs;
    std::size_t guestWrites = 0;
    for (const auto& [name, value] : values) {
      EXPECT_EQ(again.Last(name), value) << name;
      taken = std::max(taken, Arrived(again, name, value, restartNs));
      ExpectOnlyWrites(kClient, name, value, restartNs, "the restarted host's default won", run);
      EXPECT_LE(WritesIn(guestTrace, name, restartNs), 1u) << name << " changed more than once";
      guestWrites += WritesIn(guestTrace, name, restartNs);
    }
    const std::size_t guestGear =
        CountBetween(guestTrace.SetData(kDefinitionGearHandle), restartNs, kEnd);
    const auto hostGear = again.SetData(kDefinitionGearHandle);
    EXPECT_LE(guestGear, 1u) << "the gear handle flipped on the guest";
    EXPECT_LE(hostGear.size(), 1u) << "the gear handle flipped on the restarted host";
    const auto frames = again.All<trace::Aircraft>();
    EXPECT_TRUE(!frames.empty() && frames.back().body.gear == 1.0) << "gear not down on the host";
    std::cout << "restart " << round << ": the restarted host held the guest's values "
              << Seconds(taken - restartNs) << " s after its start; the guest wrote " << guestWrites
              << " values; gear handle SetData: guest " << guestGear << ", host " << hostGear.size()
              << "\n";
  }
}

TEST_F(OwnerTest, APlainPeerAsGuestThenAsHost) {
  WriteTable("QV_E\nQV_P\n");
  for (const int plain : {kClient, kServer}) {
    const int other = 1 - plain;
    SCOPED_TRACE(plain == kClient ? "plain guest" : "plain host");
    const std::string run = plain == kClient ? "-guest" : "-host";
    ClearLogs();
    WriteConfig(plain, "plain protocol\n");
    WriteConfig(other, "");
    const std::string peer = NetnsPair::Address(other);
    const std::string table = "msplain" + run.substr(1);
    LoadRules(plain, "table inet " + table +
                         " {\n counter reliable {}\n counter datagrams {}\n"
                         " chain in {\n  type filter hook input priority 0;\n  ip saddr " +
                         peer + " udp dport " + std::to_string(kBasePort + 1) +
                         " counter name datagrams\n  ip saddr " + peer +
                         " udp dport != " + std::to_string(kBasePort + 1) +
                         " @th,64,1 0 counter name reliable\n }\n}\n");
    if (HasFatalFailure()) return;
    std::string scripts[2];
    scripts[other] = StartRoleLines(0.1, other) + Set(3, "QV_E", 4) + "14 quit\n";
    scripts[plain] = StartRoleLines(0.1, plain) + Set(4, "QV_P", 6) + "14 quit\n";
    ASSERT_NO_FATAL_FAILURE(
        StartServerThenClient(scripts[kServer], scripts[kClient], seconds(0), 20, run));
    ASSERT_TRUE(WaitForLogLine(other, "LvarsSet: QV_P Value: 6", seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::int64_t restNs = SteadyNowNs();
    const Counted reliable0 = Counter(plain, table, "reliable");
    const Counted datagrams0 = Counter(plain, table, "datagrams");
    std::this_thread::sleep_for(seconds(5));
    const Counted reliable1 = Counter(plain, table, "reliable");
    const Counted datagrams1 = Counter(plain, table, "datagrams");
    const std::int64_t restEndNs = SteadyNowNs();
    WaitForBoth(20);
    const SideTrace plainTrace = Trace(plain, run);
    EXPECT_TRUE(plainTrace.FirstWrite("QV_E", 4, By::kModule))
        << "QV_E did not reach the plain side";
    const std::uint64_t packets = reliable1.packets - reliable0.packets;
    const std::uint64_t records =
        (reliable1.bytes - reliable0.bytes - packets * kDataPacketHeaders) / 24;
    const std::size_t restWrites = WritesIn(plainTrace, "QV_E", restNs, restEndNs) +
                                   WritesIn(plainTrace, "QV_P", restNs, restEndNs);
    std::cout << (plain == kClient ? "plain guest" : "plain host") << " at rest for "
              << Seconds(restEndNs - restNs) << " s: " << records << " reliable records in "
              << packets << " data packets, " << datagrams1.packets - datagrams0.packets
              << " datagrams, " << restWrites << " cockpit writes\n";
    EXPECT_LE(records, 6u) << "more than about one record a second at rest";
    EXPECT_EQ(restWrites, 0u);
    EXPECT_EQ(LinesWith(plain, "Corrected from peer"), 0u);
    EXPECT_EQ(LinesWith(other, "cannot be compared"), 1u);
  }
}

TEST_F(OwnerTest, AForgedHandshakeFromThePeersAddress) { Forge(NetnsPair::Address(kClient), ""); }

TEST_F(OwnerTest, AForgedHandshakeFromAStrangerWithAnyOnTheHost) {
  ASSERT_NO_FATAL_FAILURE(PlaceStranger(kClient));
  Forge(kStranger, "any\n");
}

TEST_F(OwnerTest, TablesThatDifferByOneLineInTheMiddle) {
  WriteTable(kServer, "QV_A\nQV_B\nQV_X\nQV_C\nQV_D\n");
  WriteTable(kClient, "QV_A\nQV_B\nQV_Y\nQV_C\nQV_D\n");
  const std::string host =
      StartRoleLines(0.1, kServer) + Set(3, "QV_C", 30) + Set(3, "QV_X", 99) + "12 quit\n";
  const std::string guest = StartRoleLines(0.1, kClient) + Set(4, "QV_D", 40) + Set(4, "QV_Y", 77) +
                            Set(4.2, "QV_B", 20) + "11.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(StartServerThenClient(host, guest, seconds(0), 16));
  WaitForBoth(16);
  const SideTrace hostTrace = Trace(kServer);
  const SideTrace guestTrace = Trace(kClient);
  EXPECT_EQ(guestTrace.Last("QV_C"), 30.0);
  EXPECT_EQ(hostTrace.Last("QV_D"), 40.0);
  EXPECT_EQ(hostTrace.Last("QV_B"), 20.0);
  // What one side's pilot set lands on no other variable of the peer.
  const std::size_t misplaced = WritesIn(guestTrace, "QV_D", 0) + WritesIn(guestTrace, "QV_Y", 0) +
                                WritesIn(hostTrace, "QV_C", 0) + WritesIn(hostTrace, "QV_X", 0);
  std::cout << "tables differing at entry 3: " << misplaced << " values on the wrong variable\n";
  EXPECT_EQ(misplaced, 0u);
  for (const auto& [side, here, there] :
       {std::tuple{kServer, "QV_X", "QV_Y"}, std::tuple{kClient, "QV_Y", "QV_X"}}) {
    const auto log = LogLines(side);
    EXPECT_EQ(
        CountLines(log, std::string("LVars.cfg differs from the peer's from entry 3: here \"") +
                            here + "\", peer \"" + there + "\""),
        1u);
    EXPECT_EQ(
        CountLines(log, std::string("Only in this LVars.cfg, not shared (1): \"") + here + "\""),
        1u);
    EXPECT_EQ(CountLines(log, std::string("Only in the peer's LVars.cfg, not shared (1): \"") +
                                  there + "\""),
              1u);
  }
}

}  // namespace
}  // namespace e2e
