// Two cockpits through a home router: the host sits at home behind a NAT
// router (masquerading with nftables, and a real UPnP daemon), the guest on
// the internet. Nothing is forwarded by hand: only the module's own request
// opens the host's ports, and without the daemon the host's log says why the
// guest cannot come in.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;
using Clock = std::chrono::steady_clock;

// The router of the daemon's README: forward filter (only home's own traffic
// goes out, and only what the daemon maps comes in), masquerade outward.
std::string RouterRules() {
  return "table inet miniupnpd {\n"
         "  chain forward {\n"
         "    type filter hook forward priority 0; policy drop;\n"
         "    ct state established,related accept\n"
         "    iifname \"" +
         std::string(kRouterInsideLink) + "\" oifname \"" + kRouterOutsideLink +
         "\" accept\n"
         "    jump miniupnpd\n"
         "  }\n"
         "  chain miniupnpd { }\n"
         "  chain prerouting {\n"
         "    type nat hook prerouting priority dstnat; policy accept;\n"
         "    jump prerouting_miniupnpd\n"
         "  }\n"
         "  chain postrouting {\n"
         "    type nat hook postrouting priority srcnat; policy accept;\n"
         "    jump postrouting_miniupnpd\n"
         "    oifname \"" +
         kRouterOutsideLink +
         "\" masquerade\n"
         "  }\n"
         "  chain prerouting_miniupnpd { }\n"
         "  chain postrouting_miniupnpd { }\n"
         "}\n";
}

// `rules`: permission lines before the daemon's usual ones.
std::string DaemonConfig(const std::string& rules) {
  return std::string("ext_ifname=") + kRouterOutsideLink + "\n" +
         "listening_ip=" + kRouterInsideLink + "\n" +
         "port=5555\n"
         "enable_upnp=yes\n"
         "enable_natpmp=yes\n"
         "secure_mode=yes\n"
         "upnp_table_name=miniupnpd\n"
         "upnp_nat_table_name=miniupnpd\n"
         "upnp_forward_chain=miniupnpd\n"
         "upnp_nat_chain=prerouting_miniupnpd\n"
         "upnp_nat_postrouting_chain=postrouting_miniupnpd\n" +
         rules +
         "allow 1024-65535 10.77.0.0/24 1024-65535\n"
         "deny 0-65535 0.0.0.0/0 0-65535\n";
}

const std::string kOpened = "Router: UDP 5001 and 34835 opened on " + std::string(kRouterOutside);
const std::string kClosed = "Router: UDP 5001 and 34835 closed";
const std::string kNoRouter =
    "Router: no UPnP router answered; forward UDP 5001 and 34835 to this computer in the router "
    "by hand, or turn UPnP on there";

class RouterTest : public SharedFlightTest {
 protected:
  bool ThroughRouter() const override { return true; }

  void SetUp() override {
    SharedFlightTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    LoadRouterRules(RouterRules());
    WriteTable("QV_Home\nQV_Away\n");
  }

  void StartDaemon(const std::string& rules = "") {
    ASSERT_TRUE(std::filesystem::exists(MINIUPNPD_PATH))
        << "no test router daemon at " << MINIUPNPD_PATH;
    std::ofstream(RunFile("miniupnpd.conf")) << DaemonConfig(rules);
    // A pid file of the run's own: the daemon refuses to start beside one
    // named in the usual place, where another test's router may have put it.
    StartRouterHelper("miniupnpd", {MINIUPNPD_PATH, "-d", "-f", RunFile("miniupnpd.conf"), "-P",
                                    RunFile("miniupnpd.pid")});
    // It answers once its HTTP side listens.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      std::ifstream err(RunFile("miniupnpd.err"));
      const std::string text((std::istreambuf_iterator<char>(err)), {});
      if (text.find("HTTP listening on port 5555") != std::string::npos) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "the router daemon did not start";
  }

  // The router's port-forwarding rules as nft lists them.
  std::string Forwarding() const {
    return InRouter({"nft", "list", "chain", "inet", "miniupnpd", "prerouting_miniupnpd"}).output;
  }
};

TEST_F(RouterTest, HostAtHomeOpensItsPortsThroughUpnpAndTheGuestComesIn) {
  StartDaemon();
  if (HasFatalFailure()) return;
  const auto start = Clock::now();
  Start(kServer, StartRoleLines(0.1, 0) + "3 set QV_Home 7\n14 quit\n", 30);
  ASSERT_TRUE(WaitForLogLine(kServer, kOpened, std::chrono::seconds(15)))
      << "the host's ports were not opened";
  const auto mapped = Clock::now();
  const std::string forwarding = Forwarding();
  EXPECT_NE(forwarding.find("th dport 5001 dnat ip to 10.77.0.2:5001"), std::string::npos)
      << forwarding;
  EXPECT_NE(forwarding.find("th dport 34835 dnat ip to 10.77.0.2:34835"), std::string::npos)
      << forwarding;

  const auto guestStart = Clock::now();
  Start(kClient, StartRoleLines(0.1, 1) + "4 set QV_Away 9\n12 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kServer);

  const SideTrace host = Trace(kServer);
  const SideTrace guest = Trace(kClient);
  const auto connected = guest.FirstWrite("MP_STS", 1.0, By::kModule);
  ASSERT_TRUE(connected) << "the guest's reliable channel did not connect through the router";
  EXPECT_TRUE(host.FirstWrite("MP_STS", 1.0, By::kModule));
  // Both directions carry the cockpit.
  EXPECT_TRUE(guest.FirstWrite("QV_Home", 7.0, By::kModule));
  EXPECT_TRUE(host.FirstWrite("QV_Away", 9.0, By::kModule));

  // The mappings go with the session.
  const auto hostLog = LogLines(kServer);
  EXPECT_EQ(CountLines(hostLog, kClosed), 1u);
  EXPECT_EQ(Forwarding().find("dnat"), std::string::npos) << Forwarding();
  // The guest receives on its datagram port only, which it opens the same way
  // where it has a router; on the internet side no router answers.
  EXPECT_EQ(CountLines(LogLines(kClient),
                       "Router: no UPnP router answered; forward UDP 5001 to this computer in the "
                       "router by hand, or turn UPnP on there"),
            1u);

  const auto ms = [](auto d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  const auto guestStartNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(guestStart.time_since_epoch()).count();
  std::cout << "role start to ports mapped: " << ms(mapped - start) << " ms; guest start to "
            << "MP_STS 1 through the router: " << (connected->monoNs - guestStartNs) / 1000000
            << " ms\n";
}

TEST_F(RouterTest, WithoutTheDaemonTheHostLogSaysWhyAndTheGuestStaysOut) {
  Start(kServer, StartRoleLines(0.1, 0) + "10 quit\n", 30);
  ASSERT_TRUE(WaitForLogLine(kServer, kNoRouter, std::chrono::seconds(10)));
  Start(kClient, StartRoleLines(0.1, 1) + "8 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kServer);
  EXPECT_FALSE(Trace(kClient).FirstWrite("MP_STS", 1.0, By::kModule));
  EXPECT_FALSE(Trace(kServer).FirstWrite("MP_STS", 1.0, By::kModule));
  const auto hostLog = LogLines(kServer);
  EXPECT_EQ(CountLines(hostLog, kClosed), 0u);
  ExpectShutdownHandshake(hostLog, "host");
}

// A router that will not forward the reliable channel's port: the host says
// which port, why, and what to forward by hand; the guest stays out.
TEST_F(RouterTest, ARefusedPortIsNamedWithTheRoutersReasonAndTheFixByHand) {
  StartDaemon("deny 34835 0.0.0.0/0 0-65535\n");
  if (HasFatalFailure()) return;
  Start(kServer, StartRoleLines(0.1, 0) + "10 quit\n", 30);
  ASSERT_TRUE(WaitForLogLine(kServer,
                             "Router: forward UDP 34835 to this computer (10.77.0.2) in the router "
                             "by hand",
                             std::chrono::seconds(15)));
  Start(kClient, StartRoleLines(0.1, 1) + "7 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0));
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0));
  const auto log = LogLines(kServer);
  EXPECT_EQ(CountLines(log, "Router: UDP 5001 opened on 198.51.100.1"), 1u);
  const auto refused = std::count_if(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("Router: UDP 34835 not opened: the router refused it (error ", 0) == 0;
  });
  EXPECT_EQ(refused, 1) << ::testing::PrintToString(log);
  EXPECT_FALSE(Trace(kClient).FirstWrite("MP_STS", 1.0, By::kModule));
  // What was opened is closed again; the refused port was never the module's.
  EXPECT_EQ(CountLines(log, "Router: UDP 5001 closed"), 1u);
  EXPECT_EQ(Forwarding().find("dnat"), std::string::npos);
}

TEST_F(RouterTest, CheckerAtHomeReportsTheMappingAndTheLinkWorksBothWays) {
  StartDaemon();
  if (HasFatalFailure()) return;
  std::unique_ptr<ChildProcess> checks[2];
  for (int side : {kServer, kClient}) {
    checks[side] = std::make_unique<ChildProcess>(
        std::vector<std::string>{"ip", "netns", "exec", Net().Namespace(side),
                                 MULTISHARED_CHECK_PATH, "link", Folder(side), "--seconds", "15"},
        RunFile("check" + std::to_string(side) + ".out"),
        RunFile("check" + std::to_string(side) + ".err"));
  }
  std::string output[2];
  for (int side : {kServer, kClient}) {
    EXPECT_EQ(checks[side]->WaitFor(std::chrono::seconds(60)), std::optional<int>(0))
        << "checker of side " << side;
    std::ifstream in(RunFile("check" + std::to_string(side) + ".out"));
    output[side].assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string& home = output[kServer];
  EXPECT_NE(home.find(kOpened), std::string::npos) << home;
  EXPECT_NE(home.find("Router answer: mapped; outside address: 198.51.100.1\n"), std::string::npos)
      << home;
  EXPECT_NE(home.find("The link works both ways on both ports."), std::string::npos) << home;
  EXPECT_NE(home.find(kClosed), std::string::npos) << home;
  EXPECT_NE(output[kClient].find("Router answer: none; outside address: unknown"),
            std::string::npos)
      << output[kClient];
  EXPECT_NE(output[kClient].find("The link works both ways on both ports."), std::string::npos)
      << output[kClient];
  EXPECT_EQ(Forwarding().find("dnat"), std::string::npos);
}

// Both pilots write a dynamic-DNS name on line 1; each namespace's resolver
// knows the other's name.
TEST_F(RouterTest, HostNamesOnLineOneAreResolvedAndTheSessionRunsOnTheirAddresses) {
  ASSERT_TRUE(Net().WriteResolver(kServer, std::string(kInternetAddress) + " guest.example\n"));
  ASSERT_TRUE(Net().WriteResolver(kClient, std::string(kRouterOutside) + " home.example\n"));
  for (auto [side, name] :
       {std::pair{kServer, "guest.example"}, std::pair{kClient, "home.example"}}) {
    std::ofstream(std::filesystem::path(Folder(side)) / "SharedConfig.cfg") << name << "\n"
                                                                            << kBasePort << "\n";
  }
  StartDaemon();
  if (HasFatalFailure()) return;
  Start(kServer, StartRoleLines(0.1, 0) + "3 set QV_Home 7\n12 quit\n", 30);
  ASSERT_TRUE(WaitForLogLine(kServer, kOpened, std::chrono::seconds(15)));
  Start(kClient, StartRoleLines(0.1, 1) + "4 set QV_Away 9\n10 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kServer);
  EXPECT_EQ(CountLines(LogLines(kServer), "SharedConfig.cfg line 1: guest.example is 198.51.100.2"),
            1u);
  EXPECT_EQ(CountLines(LogLines(kClient), "SharedConfig.cfg line 1: home.example is 198.51.100.1"),
            1u);
  const SideTrace host = Trace(kServer);
  const SideTrace guest = Trace(kClient);
  EXPECT_TRUE(guest.FirstWrite("MP_STS", 1.0, By::kModule));
  // The host's filter hears the guest by its resolved address, and the
  // guest's datagrams reach the host through the mapped port.
  EXPECT_TRUE(host.FirstWrite("QV_Away", 9.0, By::kModule));
  EXPECT_TRUE(guest.FirstWrite("QV_Home", 7.0, By::kModule));
}

TEST_F(RouterTest, ANameThatDoesNotResolveIsLoggedWithTheNameAndTheLinkStaysDown) {
  ASSERT_TRUE(Net().WriteResolver(kClient, ""));
  std::ofstream(std::filesystem::path(Folder(kClient)) / "SharedConfig.cfg") << "home.example\n"
                                                                             << kBasePort << "\n";
  Start(kClient, StartRoleLines(0.1, 1) + "5 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(30)), std::optional<int>(0))
      << ErrorOutput(kClient);
  const auto log = LogLines(kClient);
  const auto failed = std::count_if(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("SharedConfig.cfg line 1: the name \"home.example\" does not resolve (", 0) ==
               0 &&
           line.size() > 15 && line.substr(line.size() - 15) == "); trying again";
  });
  // Logged once, though the connect loop and the lookup both try again.
  EXPECT_EQ(failed, 1) << "log:\n" << ::testing::PrintToString(log);
  EXPECT_TRUE(Trace(kClient).FirstWrite("MP_STS", 2.0, By::kModule));
  ExpectShutdownHandshake(log, "guest");
}

// A DNS server that never answers: the lookup of line 1's name hangs in the
// system's resolver far longer than the session runs, and the gauge kill
// must not wait for it.
class SilentResolverTest : public SharedFlightTest {};

TEST_F(SilentResolverTest, AGaugeKillDoesNotWaitForALookupInTheResolver) {
  ASSERT_TRUE(Net().WriteResolver(kClient, "", "timeout:30 attempts:1"));
  // Queries reach the namespace's own DNS port and are dropped there: no
  // refusal comes back, so the resolver waits out its 30 s.
  LoadRules(kClient,
            "table inet msdns {\n"
            "  chain in {\n"
            "    type filter hook input priority 0; policy accept;\n"
            "    udp dport 53 drop\n"
            "    tcp dport 53 drop\n"
            "  }\n"
            "}\n");
  if (HasFatalFailure()) return;
  WriteTable("QV_Away\n");
  std::ofstream(std::filesystem::path(Folder(kClient)) / "SharedConfig.cfg") << "home.example\n"
                                                                             << kBasePort << "\n";
  const auto start = Clock::now();
  Start(kClient, StartRoleLines(0.1, 1) + "8 quit\n", 30);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::cout << "[ figures  ] silent resolver: simulator start to exit " << took.count()
            << " ms (quit at 8 s of its clock)\n";
  // The quit comes at 8 s; the resolver would hold a joined lookup until 30 s.
  EXPECT_LT(took, std::chrono::seconds(14));
  const auto log = LogLines(kClient);
  ExpectShutdownHandshake(log, "guest");
  // The lookup never answered, so nothing claims it did; the connect gave up
  // waiting for it and said the link is down.
  for (const auto& line : log) {
    EXPECT_EQ(line.find("home.example is"), std::string::npos) << line;
  }
  EXPECT_TRUE(Trace(kClient).FirstWrite("MP_STS", 2.0, By::kModule));
}

TEST_F(RouterTest, LineFourKeepsTheRouterUntouched) {
  StartDaemon();
  if (HasFatalFailure()) return;
  std::ofstream(std::filesystem::path(Folder(kServer)) / "SharedConfig.cfg")
      << kInternetAddress << "\n"
      << kBasePort << "\n\nno upnp\n";
  Start(kServer, StartRoleLines(0.1, 0) + "5 quit\n", 30);
  EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(30)), std::optional<int>(0))
      << ErrorOutput(kServer);
  const auto hostLog = LogLines(kServer);
  EXPECT_EQ(CountLines(hostLog,
                       "Router: UPnP turned off by the option no upnp in SharedConfig.cfg; "
                       "forward the ports by hand"),
            1u);
  EXPECT_EQ(CountLines(hostLog, kOpened), 0u);
  EXPECT_EQ(Forwarding().find("dnat"), std::string::npos);
}

// A device at home that answers discovery as an Internet gateway, then serves
// its description one byte a second or announces 2 GB. The module gives such
// an answer up at its deadline or size cap, and a quit is never held by it.
class HostileRouterTest : public RouterTest {
 protected:
  struct HostRun {
    std::chrono::milliseconds exitAfterQuit{};
    long grownKb = 0;  // peak memory over the memory at 1 s, before discovery ends
  };

  void StartDevice(const char* mode) {
    StartRouterHelper("hostile", {HOSTILE_ROUTER_PATH, mode, kRouterInside});
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      std::ifstream out(RunFile("hostile.out"));
      std::string line;
      if (std::getline(out, line) && line == "listening") return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FAIL() << "the hostile device did not start";
  }

  static long StatusKb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    }
    return 0;
  }

  HostRun RunHostUntil(double quitAt, const std::string& run = "") {
    const auto start = Clock::now();
    Start(kServer, StartRoleLines(0.1, 0) + std::to_string(quitAt) + " quit\n", 30, run);
    std::this_thread::sleep_until(start + std::chrono::seconds(1));
    const pid_t pid = SimPid(kServer);
    const long early = StatusKb(pid, "VmRSS:");
    long peak = early;
    const auto quit = start + std::chrono::milliseconds(static_cast<int>(quitAt * 1000));
    while (Clock::now() < quit - std::chrono::milliseconds(150)) {
      peak = std::max(peak, StatusKb(pid, "VmHWM:"));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(WaitForExit(kServer, std::chrono::seconds(40)), std::optional<int>(0))
        << ErrorOutput(kServer);
    return {std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quit),
            peak - early};
  }
};

// ThreadSanitizer sleeps a second at the exit of a process whose other
// threads still run, as a thread left in a trickled answer does.
#if defined(__SANITIZE_THREAD__)
constexpr std::chrono::seconds kQuitToExitBound{3};
#else
constexpr std::chrono::seconds kQuitToExitBound{2};
#endif

const std::string kNoGateway =
    "Router: no Internet gateway among the UPnP devices that answered; forward UDP 5001 and 34835 "
    "to this computer in the router by hand, or turn UPnP on there";

TEST_F(HostileRouterTest, ATrickledDescriptionIsGivenUpAndAQuitDuringItIsNotHeld) {
  StartDevice("trickle");
  if (HasFatalFailure()) return;
  // Discovery ends at about 1.5 s; the description's deadline a few seconds on.
  const HostRun late = RunHostUntil(7.0);
  const auto log = LogLines(kServer);
  EXPECT_EQ(CountLines(log, kNoGateway), 1u) << ::testing::PrintToString(log);
  ExpectShutdownHandshake(log, "host");

  // A quit while the description trickles in.
  const HostRun during = RunHostUntil(2.5, "during");
  const auto second = LogLines(kServer);
  EXPECT_EQ(CountLines(second,
                       "Router: no answer from the router within the stop; the mappings are "
                       "deleted in the background, or end with their lease"),
            1u)
      << ::testing::PrintToString(second);
  EXPECT_LT(CountLines(second, "Waiting for thread close"), 100u);
  std::cout << "[ figures  ] trickled description: quit to exit " << late.exitAfterQuit.count()
            << " ms after it was given up, " << during.exitAfterQuit.count()
            << " ms while it trickled\n";
  EXPECT_LT(late.exitAfterQuit, kQuitToExitBound);
  EXPECT_LT(during.exitAfterQuit, kQuitToExitBound);
}

TEST_F(HostileRouterTest, AHugeAnnouncedDescriptionCostsLittleMemory) {
  StartDevice("huge");
  if (HasFatalFailure()) return;
  const HostRun run = RunHostUntil(5.0);
  const auto log = LogLines(kServer);
  EXPECT_EQ(CountLines(log, kNoGateway), 1u) << ::testing::PrintToString(log);
  std::cout << "[ figures  ] 2 GB description announced: memory grew " << run.grownKb
            << " kB; quit to exit " << run.exitAfterQuit.count() << " ms\n";
  EXPECT_LT(run.exitAfterQuit, kQuitToExitBound);
#if !defined(__SANITIZE_THREAD__)
  // ThreadSanitizer's own memory grows with the run; the bound is for real builds.
  EXPECT_LT(run.grownKb, 16 * 1024);
#endif
}

}  // namespace
}  // namespace e2e
