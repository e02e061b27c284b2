// The role threads around the send pass: link state, accepts, the end of a
// role, and the guarded send of the key-event relay.
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "net_fixture.h"
#include "server/server_game.h"
#include "server/server_loops.h"
#include "session/role_finish.h"
#include "session/role_send.h"

namespace {

class RoleLoopsTest : public NetFixture {};

TEST_F(RoleLoopsTest, ServerShowsEachNewLinkStateOnce) {
  UseBasePort(30);
  auto game = std::make_unique<ServerGame>();
  standin::WriteNamed("MP_STS", -5.0);  // a marker that a write would replace
  ShowConnectionStatus();
  EXPECT_EQ(Named("MP_STS"), -5.0);  // 0 was already shown

  const UDTSOCKET peer = ConnectToServer();
  testing::internal::CaptureStdout();
  const bool accepted = PumpUntil([&] { AcceptPendingClient(*game); },
                                  [] { return Load(linkState.connectedClientCount) == 1; });
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(accepted);
  EXPECT_EQ(out, "client 0 has been connected to the server\n");
  EXPECT_EQ(Load(linkState.connectionStatus), 1);
  ShowConnectionStatus();
  EXPECT_EQ(Named("MP_STS"), 1.0);
  standin::WriteNamed("MP_STS", -5.0);
  ShowConnectionStatus();
  EXPECT_EQ(Named("MP_STS"), -5.0);

  // What the relay sends reaches the client through the guarded pointer.
  Store(roleState.serverGame, game.get());
  EXPECT_TRUE(SendReliableThroughRole(kind::kKeyEvent, 0, 7.0, 66000.0));
  const int timeoutMs = 2000;
  UDT::setsockopt(peer, 0, UDT_RCVTIMEO, &timeoutMs, sizeof timeoutMs);
  const std::optional<MessageRecord> r = NextProtocolRecord(peer);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->kind, kind::kKeyEvent);
  EXPECT_EQ(r->extra, 66000.0);
  Store(roleState.serverGame, nullptr);
  EXPECT_FALSE(SendReliableThroughRole(kind::kKeyEvent, 0, 7.0, 66000.0));
}

// Whether a thread of this process has `name` (as profilers and the
// benchmarks' CPU figures see it).
bool SomeThreadNamed(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string line;
    if (std::getline(comm, line) && line == name) return true;
  }
  return false;
}

// While a client is connected the loop looks at the listener less often, but
// a second connection (a client that came back) is still filed.
TEST_F(RoleLoopsTest, ServerReceiveLoopNamesItsThreadAndAcceptsWhileConnected) {
  UseBasePort(32);
  auto game = std::make_unique<ServerGame>();
  Store(roleState.serverGame, game.get());
  testing::internal::CaptureStdout();
  std::thread loop([] { ServerReceiveLoop(nullptr); });
  ConnectToServer();
  const bool first = PumpUntil([] {}, [] { return Load(linkState.connectedClientCount) == 1; });
  const bool named = SomeThreadNamed(kReceiveThreadName);
  ConnectToServer();
  const bool second = PumpUntil([] {}, [] { return Load(linkState.connectedClientCount) == 2; });
  Store(roleState.shutdownState, 1);
  loop.join();
  const std::string out = testing::internal::GetCapturedStdout();
  Store(roleState.serverGame, nullptr);
  EXPECT_TRUE(first);
  EXPECT_TRUE(named);
  EXPECT_TRUE(second);
  EXPECT_EQ(out,
            "client 0 has been connected to the server\n"
            "client 1 has been connected to the server\n");
}

TEST_F(RoleLoopsTest, AStopAlreadyRequestedEndsTheRoleAtOnce) {
  UseBasePort(31);
  Store(roleState.serverGame, new ServerGame());
  Store(roleSetup.roleStarted, true);
  Store(roleState.shutdownState, 1);
  ServerSendLoop(nullptr);
  FinishRole();
  EXPECT_EQ(Load(roleState.shutdownState), 2);
  EXPECT_EQ(Load(roleState.serverGame), nullptr);
  const auto lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "thread close start, thread2 wait close");
  EXPECT_EQ(lines.back(), "thread closed");
}

}  // namespace
