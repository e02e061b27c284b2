// "MP_START" starts one role, once, with its threads, and a gauge kill ends it.
#include "session/role_start.h"

#include <algorithm>
#include <chrono>
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
  Configure("127.0.0.1\n" + basePort + "\n", 0.0);
  peerAddress.clear();
  basePort.clear();
  Frame();
  ASSERT_TRUE(Load(roleStarted));
  EXPECT_NE(Load(serverGame), nullptr);
  EXPECT_EQ(Load(clientGame), nullptr);
  EXPECT_EQ(Load(isFollower), 0);
  EXPECT_EQ(Named("MP_TGL"), 0.0);
  EXPECT_EQ(Named("MP_STS"), 0.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Load(isFollower), 0);
  EXPECT_EQ(Named("MP_CONN"), 0.0);

  KillGauge();
  EXPECT_EQ(Load(shutdownState), 2);
  EXPECT_EQ(Load(serverGame), nullptr);
  const auto lines = LogLines();
  const std::string port = std::to_string(TestBasePort(20));
  EXPECT_TRUE(InOrder(
      lines, {(QuelvoFolder() / "SharedConfig.cfg").string(), "127.0.0.1", port, "Launch",
              "No of LVars in Table2", "serverLoop init", "serverLoop Binded Port: " + port,
              "serverLoop UDP Bind Process completed", "serverLoop R UDP Bind Process completed",
              "serverLoop start", "Thread close initiated",
              "thread close start, thread2 wait close", "Thread Close Process Completed"}));
  EXPECT_TRUE(Has(lines, "thread closed"));
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.rfind("MasterTGL", 0) == 0; }));

  // After a reload of the aircraft, "MP_START" starts nothing again.
  CreateGauge();
  Frame();
  Frame();
  EXPECT_EQ(Count(LogLines(), "Launch"), 1);
  EXPECT_EQ(Load(serverGame), nullptr);
}

TEST_F(RoleStartTest, AnyMpConnButZeroMakesAClient) {
  // No address: the client gives up at once instead of waiting for a server.
  for (const double mpConn : {0.5, -1.0}) {
    Configure("nowhere\n" + std::to_string(TestBasePort(21)) + "\n", mpConn);
    Frame();
    ASSERT_TRUE(Load(roleStarted));
    EXPECT_NE(Load(clientGame), nullptr);
    EXPECT_EQ(Load(isFollower), 1);
    EXPECT_EQ(Named("MP_STS"), 2.0);
    KillGauge();
    EXPECT_EQ(Load(shutdownState), 2);
    EXPECT_EQ(Load(clientGame), nullptr);
    EXPECT_TRUE(Has(LogLines(), "clientLoop start"));
    // Only a new module load may start a role again.
    StopModule();
    ResetModuleGlobals();
    StartModule();
    CreateGauge();
  }
}

TEST_F(RoleStartTest, ClientWithNoServerGivesUpAndStillRunsItsThreads) {
  UseBasePort(22);
  Configure("127.0.0.1\n" + basePort + "\n", 1.0);
  Frame();
  ASSERT_TRUE(Load(roleStarted));
  EXPECT_EQ(Load(connectionStatus), 2);
  EXPECT_EQ(Named("MP_STS"), 2.0);
  // The receive loop runs: it shows the client's flag in "MP_CONN".
  EXPECT_TRUE(PumpUntil([] {}, [] { return Named("MP_CONN") == 1.0; }));
  EXPECT_TRUE(InOrder(LogLines(), {"Launch", "R UDP start", "clientLoop start"}));
  KillGauge();
  EXPECT_TRUE(InOrder(LogLines(), {"Thread close initiated", "Thread Close Process Completed"}));
  EXPECT_TRUE(Has(LogLines(), "thread closed"));
}

TEST_F(RoleStartTest, OneLineConfigurationMeansPortZero) {
  Configure("127.0.0.1\n", 0.0);
  Frame();
  ASSERT_NE(Load(serverGame), nullptr);
  EXPECT_EQ(basePort, "");
  EXPECT_EQ(platform::LocalPort(Load(serverGame)->datagramSocket), 1);
  EXPECT_TRUE(Has(LogLines(), "serverLoop Binded Port: "));
}

bool NoDetachedThread(platform::DetachedRoutine, void*) { return false; }
platform::ThreadHandle NoJoinableThread(platform::JoinableRoutine, void*) {
  return platform::kNoThread;
}

TEST_F(RoleStartTest, AStartThatCannotHaveItsThreadsLeavesNoRole) {
  UseBasePort(23);
  Configure("127.0.0.1\n" + basePort + "\n", 0.0);
  standin::WriteNamed("MP_START", 0.0);
  Frame();  // loads the table
  for (const RoleThreadStarter starter :
       {RoleThreadStarter{platform::StartDetachedThread, NoJoinableThread},
        RoleThreadStarter{NoDetachedThread, platform::StartJoinableThread}}) {
    CreateGauge();
    Store(sharedState->vars->value[slot::kMpStart], 1.0);
    StartRole(starter);
    EXPECT_FALSE(Load(roleStarted));
    EXPECT_EQ(Load(serverGame), nullptr);
    EXPECT_EQ(receiveThreadHandle, platform::kNoThread);
    EXPECT_EQ(Load(shutdownState), 0);
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

}  // namespace
