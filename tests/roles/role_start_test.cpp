// "MP_START" starts one role, once, with its threads, and a gauge kill ends it.
#include "session/role_start.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "net_fixture.h"
#include "server/server_game.h"

namespace {

class RoleStartTest : public NetFixture {
 protected:
  void Configure(const std::string& config, double mpConn) {
    WriteFile("LVars.cfg", "A\nB;FCTL\n");
    WriteFile("SharedConfig.cfg", config);
    standin::WriteNamed("MP_CONN", mpConn);
    standin::WriteNamed("MP_START", 1.0);
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static long Count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  }
  // Waits up to ten seconds (a few of UDT's connect attempts) for `done`.
  template <typename Done>
  static bool WaitUntil(Done done, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // Whether `wanted` appear in this order among `lines`.
  static bool InOrder(const std::vector<std::string>& lines,
                      const std::vector<std::string>& wanted) {
    auto at = lines.begin();
    for (const auto& w : wanted) {
      at = std::find(at, lines.end(), w);
      if (at == lines.end()) return false;
      ++at;
    }
    return true;
  }
};

TEST_F(RoleStartTest, ServerStartLogsInOrderAndAGaugeKillEndsIt) {
  UseBasePort(20);
  standin::WriteNamed("MP_TGL", 1.0);  // a swap asked for before the start is dropped
  Configure("127.0.0.1\n" + roleSetup.basePort + "\n", 0.0);
  roleSetup.peerAddress.clear();
  roleSetup.basePort.clear();
  Frame();
  ASSERT_TRUE(Load(roleSetup.roleStarted));
  EXPECT_NE(Load(roleState.serverGame), nullptr);
  EXPECT_EQ(Load(roleState.clientGame), nullptr);
  EXPECT_EQ(Load(roleState.isFollower), 0);
  EXPECT_EQ(Named("MP_TGL"), 0.0);
  EXPECT_EQ(Named("MP_STS"), 0.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Load(roleState.isFollower), 0);
  EXPECT_EQ(Named("MP_CONN"), 0.0);

  KillGauge();
  EXPECT_EQ(Load(roleState.shutdownState), 2);
  EXPECT_EQ(Load(roleState.serverGame), nullptr);
  const auto lines = LogLines();
  const std::string port = std::to_string(TestBasePort(20));
  EXPECT_TRUE(InOrder(
      lines, {(QuelvoFolder() / "SharedConfig.cfg").string(), "127.0.0.1", port, "Launch",
              "No of LVars in Table2", "serverLoop init", "serverLoop Binded Port: " + port,
              "serverLoop UDP Bind Process completed", "serverLoop R UDP Bind Process completed",
              "serverLoop start", "Thread close initiated",
              "thread close start, thread2 wait close", "Thread Close Process Completed"}));
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.rfind("MasterTGL", 0) == 0; }));

  // After a reload of the aircraft, "MP_START" starts nothing again.
  CreateGauge();
  Frame();
  Frame();
  EXPECT_EQ(Count(LogLines(), "Launch"), 1);
  EXPECT_EQ(Load(roleState.serverGame), nullptr);

  // The send thread logs its last line after it reports the role finished;
  // the module's stop, after which the simulator unloads it, waits for it.
  KillGauge();
  StopModule();
  EXPECT_EQ(roleSetup.sendThreadHandle, platform::kNoThread);
  EXPECT_EQ(Count(LogLines(), "thread closed"), 1);
}

TEST_F(RoleStartTest, AnyMpConnButZeroMakesAClient) {
  // No address: the client gives up at once instead of waiting for a server.
  for (const double mpConn : {0.5, -1.0}) {
    Configure("no where\n" + std::to_string(TestBasePort(21)) + "\n", mpConn);
    Frame();
    ASSERT_TRUE(Load(roleSetup.roleStarted));
    EXPECT_NE(Load(roleState.clientGame), nullptr);
    EXPECT_EQ(Load(roleState.isFollower), 1);
    EXPECT_EQ(Named("MP_STS"), 2.0);
    KillGauge();
    EXPECT_EQ(Load(roleState.shutdownState), 2);
    EXPECT_EQ(Load(roleState.clientGame), nullptr);
    EXPECT_TRUE(Has(LogLines(), "clientLoop start"));
    // Only a new module load may start a role again.
    StopModule();
    FreshModuleState();
    StartModule();
    CreateGauge();
  }
}

TEST_F(RoleStartTest, ClientConnectsOffTheFrameKeepsTryingAndConnectsAgainAfterALoss) {
  UseBasePort(22);
  Configure("127.0.0.1\n" + roleSetup.basePort + "\n", 1.0);
  Frame();
  ASSERT_TRUE(Load(roleSetup.roleStarted));
  // UDT takes about 3 s to give up on a server that is not there; the frame
  // that started the role did not wait for that.
  EXPECT_EQ(Load(linkState.connectionStatus), 0);
  EXPECT_TRUE(WaitUntil([] { return Named("MP_STS") == 2.0; }));
  EXPECT_TRUE(WaitUntil([] { return Named("MP_CONN") == 1.0; }));

  // A server that comes late is found by a later attempt, which sends the
  // reliable greeting first.
  const UDTSOCKET listener = ListenForClient();
  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    UDTSOCKET accepted = UDT::INVALID_SOCK;
    ASSERT_TRUE(WaitUntil([&] {
      accepted = Accept(listener);
      return accepted != UDT::INVALID_SOCK;
    }));
    const std::optional<MessageRecord> greeting = NextProtocolRecord(accepted);
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->kind, kind::kGreeting);
    EXPECT_TRUE(WaitUntil([] { return Named("MP_STS") == 1.0; }));
    // The server end goes away: the client notices and connects anew. The
    // listener is still there, so the cockpit may show 2 only for a pass or
    // two before the new connection shows 1; the log keeps the close.
    // UDT sends its shutdown packet once; should a loaded machine lose it,
    // UDT's own silence timeout (about 47 s) finds the loss instead.
    UDT::close(accepted);
    EXPECT_TRUE(WaitUntil([&] { return Count(LogLines(), "Connection closed") >= connection + 1; },
                          std::chrono::seconds(60)));
  }
  KillGauge();
  EXPECT_EQ(Load(roleState.shutdownState), 2);
  const auto lines = LogLines();
  EXPECT_TRUE(InOrder(lines, {"Launch", "R UDP start", "clientLoop start"}));
  EXPECT_EQ(Count(lines, "R UDP connected to 127.0.0.1"), 2);
  EXPECT_GE(Count(lines, "Connection closed"), 2);
  // The failed attempts before the server came: the first one is logged.
  EXPECT_EQ(
      Count(lines, "R UDP connect to 127.0.0.1 (UDP port " + std::to_string(SwappedPort(port_)) +
                       ") failed: Connection setup failure: connection time out.; trying "
                       "again every 2 s"),
      1);
}

// A gauge kill while the client's connect attempt waits for a server that
// never answers: the attempt is abandoned, so the simulator's thread is held
// no longer than any other stop (UDT alone would hold it up to 3 s).
TEST_F(RoleStartTest, AStopDuringAConnectAttemptIsAsQuickAsAnyOther) {
  UseBasePort(24);
  Configure("127.0.0.1\n" + roleSetup.basePort + "\n", 1.0);
  Frame();
  ASSERT_NE(Load(roleState.clientGame), nullptr);
  // Well inside the attempt, which UDT would give up only at 3 s.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const auto start = std::chrono::steady_clock::now();
  KillGauge();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::cout << "stop during a connect attempt took " << took.count() << " ms\n";
  EXPECT_LT(took.count(), 1000);
  EXPECT_EQ(Load(roleState.shutdownState), 2);
  EXPECT_EQ(Load(roleState.clientGame), nullptr);
  const auto lines = LogLines();
  EXPECT_TRUE(Has(lines, "thread closed"));
  EXPECT_LT(Count(lines, "Waiting for thread close"), 100);
  // An abandoned attempt is no failure to report.
  for (const auto& line : lines) EXPECT_EQ(line.find("R UDP connect to"), std::string::npos);
}

TEST_F(RoleStartTest, OneLineConfigurationMeansPortZero) {
  Configure("127.0.0.1\n", 0.0);
  Frame();
  ASSERT_NE(Load(roleState.serverGame), nullptr);
  EXPECT_EQ(roleSetup.basePort, "");
  EXPECT_EQ(platform::LocalPort(Load(roleState.serverGame)->datagramSocket), 1);
  EXPECT_TRUE(Has(LogLines(), "serverLoop Binded Port: "));
}

platform::ThreadHandle NoThread(platform::JoinableRoutine, void*) { return platform::kNoThread; }

TEST_F(RoleStartTest, AStartThatCannotHaveItsThreadsLeavesNoRole) {
  UseBasePort(23);
  Configure("127.0.0.1\n" + roleSetup.basePort + "\n", 0.0);
  standin::WriteNamed("MP_START", 0.0);
  Frame();  // loads the table
  for (const RoleThreadStarter starter :
       {RoleThreadStarter{NoThread, platform::StartJoinableThread},
        RoleThreadStarter{platform::StartJoinableThread, NoThread}}) {
    CreateGauge();
    Store(simThread.sharedState->vars->value[slot::kMpStart], 1.0);
    StartRole(starter);
    EXPECT_FALSE(Load(roleSetup.roleStarted));
    EXPECT_EQ(Load(roleState.serverGame), nullptr);
    EXPECT_EQ(roleSetup.receiveThreadHandle, platform::kNoThread);
    EXPECT_EQ(Load(roleState.shutdownState), 0);
    // The gauge's kill does not wait for threads that never ran.
    KillGauge();
    const auto lines = LogLines();
    EXPECT_EQ(lines.back(), "Thread Close Process Completed");
    EXPECT_FALSE(Has(lines, "Waiting for thread close"));
  }
  const auto lines = LogLines();
  EXPECT_TRUE(Has(lines, "Role start failed: no receive thread"));
  EXPECT_TRUE(Has(lines, "Role start failed: no send thread"));
}

// Every mistake a pilot can mend is named once, with its file and line; the
// byte-order mark Notepad writes is no mistake any more.
TEST_F(RoleStartTest, ConfigurationMistakesAreLoggedOnceWithFileAndLine) {
  UseBasePort(25);
  const std::string port = roleSetup.basePort;
  WriteFile("SharedConfig.cfg", "\xEF\xBB\xBFpeer pc\r\n" + port + "x\r\n");
  WriteFile("LVars.cfg",
            "\xEF\xBB\xBFQV_First;FCTL\r\n"
            "QV_Hdg;FCUh\r\n"
            "QV_Alt;fcu \r\n"
            "\r\n"
            ";DISP\r\n"
            "QV_First;BTN\r\n");
  standin::WriteNamed("MP_CONN", 0.0);
  standin::WriteNamed("MP_START", 1.0);
  for (int i = 0; i < 3; ++i) Frame();
  ASSERT_TRUE(Load(roleSetup.roleStarted));
  ASSERT_EQ(Load(simThread.lvarCount), 5u);
  EXPECT_EQ(simThread.lvarTable[0]->name, "QV_First");
  EXPECT_EQ(simThread.lvarTable[0]->category, LVarCategory::kFctl);
  EXPECT_EQ(roleSetup.peerAddress, "peer pc");
  const auto lines = LogLines();
  for (const std::string& line : std::vector<std::string>{
           "SharedConfig.cfg line 1: \"peer pc\" is neither an IPv4 address such as 192.168.1.20 "
           "nor a host name such as copilot.example.net (no blanks); nothing is sent to the other "
           "computer until it is mended",
           "SharedConfig.cfg line 2: \"" + port +
               "x\" is not a port number from 1 to 65534 (digits only); nothing is sent to the "
               "other computer until it is mended",
           "LVars.cfg line 2: FCUh entry \"QV_Hdg\" must come directly after an FCU entry; it is "
           "never sent",
           "LVars.cfg line 3: category \"fcu \" of \"QV_Alt\" is not one of FCTL, MBTN, FCU, FCUh, "
           "DISP, TERRWX, BTN, none; write \"FCU\" (case counts, no blanks); the variable is "
           "shared as category none",
           "LVars.cfg line 5: the variable name is empty",
           "LVars.cfg line 6: \"QV_First\" is listed already on line 1",
       }) {
    EXPECT_EQ(Count(lines, line), 1) << line;
  }
  KillGauge();
}

TEST_F(RoleStartTest, AStartRequestWithoutATableIsExplainedOnce) {
  WriteFile("SharedConfig.cfg", "127.0.0.1\n5000\n");
  standin::WriteNamed("MP_START", 1.0);
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_FALSE(Load(roleSetup.roleStarted));
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "MP_START is set, but " + (QuelvoFolder() / "LVars.cfg").string() +
                          " is missing or lists no variable; the session starts once it does");
}

}  // namespace
