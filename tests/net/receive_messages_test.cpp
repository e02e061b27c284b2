// What each role applies of the records that reach it over real sockets.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "client/client_game.h"
#include "common/log_limit.h"
#include "net/converge.h"
#include "net/correction_log.h"
#include "net/extension_records.h"
#include "net_fixture.h"
#include "server/server_game.h"

namespace {

using Cat = LVarCategory;

class ServerReceiveTest : public NetFixture {
 protected:
  // A server with a table of three entries and the test connected to it.
  void StartServer(int portSlot) {
    UseBasePort(portSlot);
    AddEntries({{"A", Cat::kNone}, {"B", Cat::kFctl}, {"M", Cat::kMbtn}});
    game_ = std::make_unique<ServerGame>();
    peer_ = ConnectToServer();
    ASSERT_TRUE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(0); }));
  }
  // Receive passes until the named variable reads `value`.
  bool ReceiveUntil(const std::string& name, double value) {
    return PumpUntil([&] { ReceiveMessages(*game_); }, [&] { return Named(name) == value; });
  }
  std::unique_ptr<ServerGame> game_;
  UDTSOCKET peer_ = UDT::INVALID_SOCK;
};

TEST_F(ServerReceiveTest, AppliesVarValuesOfEveryTableIndexAndDropsOthers) {
  StartServer(3);
  SendMessage(peer_, kind::kVarValue, 0, 1.0, 0);   // index 0 counts like any other
  SendMessage(peer_, kind::kVarValue, 3, 5.0, 0);   // at lvarCount: dropped
  SendMessage(peer_, kind::kVarValue, -1, 5.0, 0);  // negative: dropped
  SendMessage(peer_, kind::kVarValue, 1, 2.5, 0);   // marker
  ASSERT_TRUE(ReceiveUntil("B", 2.5));
  EXPECT_EQ(Named("A"), 1.0);
  EXPECT_EQ(simThread.lvarTable[0]->value.load(), 1.0f);
  EXPECT_EQ(simThread.lvarTable[0]->previous.load(), 1.0f);
  EXPECT_EQ(simThread.lvarTable.size(), 3u);
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "LvarsSet: A Value: 1"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "LvarsSet: B Value: 2.5"), lines.end());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("LvarsSet", 0) == 0; }),
            2);
}

TEST_F(ServerReceiveTest, FollowerFlagTakesTheOppositeRoleAndShowsIt) {
  StartServer(4);
  Store(roleState.isFollower, 0);
  SendMessage(peer_, kind::kFollowerFlag, 0, 0.0, 0);
  ASSERT_TRUE(
      PumpUntil([&] { ReceiveMessages(*game_); }, [] { return Load(roleState.isFollower) == 1; }));
  EXPECT_EQ(Named("MP_CONN"), 1.0);
  SendMessage(peer_, kind::kFollowerFlag, 1, 1.0, 0);  // index not 0: ignored
  SendMessage(peer_, kind::kFollowerFlag, 0, 1.0, 0);
  ASSERT_TRUE(
      PumpUntil([&] { ReceiveMessages(*game_); }, [] { return Load(roleState.isFollower) == 0; }));
  EXPECT_EQ(Named("MP_CONN"), 0.0);
}

TEST_F(ServerReceiveTest, GearHandleGoesToTheSimulation) {
  StartServer(5);
  SendMessage(peer_, kind::kGearHandle, 0, 1.0, 0);
  ASSERT_TRUE(
      PumpUntil([&] { ReceiveMessages(*game_); }, [] { return !standin::SetDataCalls().empty(); }));
  const auto calls = standin::SetDataCalls();
  EXPECT_EQ(calls.back().defineId, 32u);
  EXPECT_EQ(calls.back().value, 1.0);
}

TEST_F(ServerReceiveTest, KeyEventsInsideTheRangeAreReplayedAfterTheirAnnouncement) {
  StartServer(6);
  SendMessage(peer_, kind::kKeyEvent, 0, 1.0, 65536.0);  // range bounds are excluded
  SendMessage(peer_, kind::kKeyEvent, 0, 1.0, 66860.0);
  SendMessage(peer_, kind::kKeyEvent, 0, 4294967295.0, 65537.0);  // data -1 as unsigned
  SendMessage(peer_, kind::kGreeting, 0, 123.0, 0);               // has no effect
  SendMessage(peer_, kind::kVarValue, 0, 1.0, 0);                 // marker
  ASSERT_TRUE(ReceiveUntil("A", 1.0));
  standin::PerformKeyEvents();
  std::vector<std::pair<std::uint32_t, std::uint32_t>> events;
  for (const auto& e : standin::PerformedKeyEvents()) events.emplace_back(e.id, e.data);
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
      {66771, 65537}, {66772, 0xFFFFFFFFu}, {65537, 0xFFFFFFFFu}};
  EXPECT_EQ(events, expected);
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "SimEvent: 65537 Value: 4.29497e+09"),
            lines.end());
}

TEST_F(ServerReceiveTest, TwoRecordsInOneReadAndARecordSplitAcrossReads) {
  StartServer(7);
  MessageBytes first = EncodeMessage(MakeMessage(kind::kVarValue, 0, 3.0, 0));
  MessageBytes second = EncodeMessage(MakeMessage(kind::kVarValue, 1, 4.0, 0));
  std::uint8_t both[48];
  std::memcpy(both, first.data(), 24);
  std::memcpy(both + 24, second.data(), 24);
  SendBytes(peer_, both, 48);
  ASSERT_TRUE(ReceiveUntil("B", 4.0));
  EXPECT_EQ(Named("A"), 3.0);

  // Half a record, read on its own, applies nothing; its rest completes it.
  const MessageBytes split = EncodeMessage(MakeMessage(kind::kVarValue, 0, 7.0, 0));
  SendBytes(peer_, split.data(), 10);
  for (int i = 0; i < 50; ++i) {
    ReceiveMessages(*game_);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(Named("A"), 3.0);
  SendBytes(peer_, split.data() + 10, 14);
  ASSERT_TRUE(ReceiveUntil("A", 7.0));
}

TEST_F(ServerReceiveTest, ALostConnectionIsReportedOnce) {
  StartServer(8);
  ASSERT_EQ(Load(linkState.connectionStatus), 1);
  testing::internal::CaptureStdout();
  UDT::close(peer_);
  const bool closed = PumpUntil([&] { ReceiveMessages(*game_); },
                                [] { return Load(linkState.connectionStatus) == 2; });
  for (int i = 0; i < 20; ++i) ReceiveMessages(*game_);
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(closed);
  EXPECT_EQ(out, "Connection closed\n");
}

TEST_F(ServerReceiveTest, ButtonFromThePeerWaitsForTheLocalPressToEnd) {
  StartServer(9);
  LVarEntry& button = *simThread.lvarTable[2];
  standin::WriteNamed("M", 1.0);
  button.value = 1.0f;
  standin::WriteNamed("MCDU_KeysClear", 0.0);
  SendMessage(peer_, kind::kVarValue, 2, 1.0, 0);
  std::atomic<bool> done{false};
  std::thread receiver([&] {
    while (!done) ReceiveMessages(*game_);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(button.syncMark.load(), 0);  // still waiting
  standin::WriteNamed("M", 0.0);
  button.value = 0.0f;
  const bool applied = PumpUntil([] {}, [&] { return button.syncMark.load() == -1; });
  done = true;
  receiver.join();
  ASSERT_TRUE(applied);
  EXPECT_EQ(Named("M"), 1.0);
  EXPECT_EQ(button.value.load(), 1.0f);
}

TEST_F(ServerReceiveTest, ButtonWaitEndsOnAStopRequestAndDropsTheRecord) {
  StartServer(10);
  LVarEntry& button = *simThread.lvarTable[2];
  standin::WriteNamed("M", 0.0);
  standin::WriteNamed("MCDU_KeysClear", 1.0);  // the cockpit still clears its keys
  SendMessage(peer_, kind::kVarValue, 2, 1.0, 0);
  std::atomic<bool> returned{false};
  std::thread receiver([&] {
    // Passes until the record has been read and its wait has ended.
    while (Load(roleState.shutdownState) == 0) ReceiveMessages(*game_);
    ReceiveMessages(*game_);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(returned.load());
  Store(roleState.shutdownState, 1);
  const bool ended = PumpUntil([] {}, [&] { return returned.load(); });
  receiver.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(Named("M"), 0.0);
  EXPECT_EQ(button.syncMark.load(), 0);
}

class DatagramReceiveTest : public ServerReceiveTest {};

TEST_F(DatagramReceiveTest, WalksTheRecordsOfOneDatagram) {
  StartServer(11);
  // Index 0 counts on the datagram channel too; two records in one datagram.
  std::uint8_t two[48];
  std::memcpy(two, EncodeMessage(MakeMessage(kind::kVarValue, 0, 2.0, 0)).data(), 24);
  std::memcpy(two + 24, EncodeMessage(MakeMessage(kind::kVarValue, 1, 3.0, 0)).data(), 24);
  SendDatagramBytes(two, 48);
  ASSERT_TRUE(ReceiveUntil("B", 3.0));
  EXPECT_EQ(Named("A"), 2.0);

  // 23 bytes are too few for a record.
  SendDatagramBytes(EncodeMessage(MakeMessage(kind::kVarValue, 0, 9.0, 0)).data(), 23);
  // An unknown kind ends the walk: the record after it is not applied.
  std::uint8_t unknown[48];
  std::memcpy(unknown, EncodeMessage(MakeMessage(5, 0, 9.0, 0)).data(), 24);
  std::memcpy(unknown + 24, EncodeMessage(MakeMessage(kind::kVarValue, 0, 9.0, 0)).data(), 24);
  SendDatagramBytes(unknown, 48);
  SendVarDatagram(1, 4.0);  // marker
  ASSERT_TRUE(ReceiveUntil("B", 4.0));
  EXPECT_EQ(Named("A"), 2.0);
}

TEST_F(DatagramReceiveTest, StateRecordsSetTheTargetsUnlessCheckWordOrLengthIsWrong) {
  StartServer(12);
  const double before = simThread.sharedState->latitude.target.load();
  AircraftStateRecord record;
  record.latitude = 12.25;
  record.airspeed = 250.0;
  record.velocityBodyX = 3.0;
  record.checkWord = 1;
  SendDatagramBytes(EncodeState(record).data(), kStateSize);
  // Cut short: a state record needs all its 136 bytes.
  record.checkWord = 0;
  record.latitude = 11.0;
  SendDatagramBytes(EncodeState(record).data(), kStateSize - 8);
  SendVarDatagram(0, 1.0);  // marker
  ASSERT_TRUE(ReceiveUntil("A", 1.0));
  EXPECT_EQ(simThread.sharedState->latitude.target.load(), before);

  record.latitude = 12.25;
  SendDatagramBytes(EncodeState(record).data(), kStateSize);
  ASSERT_TRUE(PumpUntil([&] { ReceiveMessages(*game_); },
                        [] { return simThread.sharedState->latitude.target.load() == 12.25; }));
  EXPECT_EQ(simThread.sharedState->airspeed.target.load(), 250.0);
  EXPECT_EQ(simThread.sharedState->velocityBodyX.target.load(), 3.0);
}

class ClientReceiveTest : public NetFixture {};

TEST_F(ClientReceiveTest, ClientGreetsAndAppliesIndexZeroOnTheReliableChannel) {
  UseBasePort(13);
  AddEntries({{"A", Cat::kNone}});
  const UDTSOCKET listener = ListenForClient();
  simThread.sharedState->aircraft->absoluteTime = 1234.5;
  auto game = std::make_unique<ClientGame>();
  // The connect thread makes the connection; the receive pass takes it.
  const UDTSOCKET server = Accept(listener);
  ASSERT_NE(server, UDT::INVALID_SOCK);
  ASSERT_TRUE(PumpUntil([&] { ReceiveMessages(*game); },
                        [] { return Load(linkState.connectionStatus) == 1; }));

  // The reliable greeting: kind 0 with the simulator time, after the hello
  // and the clock sample that a server speaking only the protocol skips.
  std::vector<int> skipped;
  const std::optional<MessageRecord> greeting = NextProtocolRecord(server, &skipped);
  ASSERT_TRUE(greeting);
  EXPECT_EQ(greeting->kind, 0);
  EXPECT_EQ(greeting->value, 1234.5);
  EXPECT_EQ(skipped, (std::vector<int>{extension::kHello, extension::kClock}));

  SendMessage(server, kind::kVarValue, 0, 6.0, 0);
  ASSERT_TRUE(PumpUntil([&] { ReceiveMessages(*game); }, [] { return Named("A") == 6.0; }));
}

}  // namespace

// What a value from the peer may not do to the local cockpit, applied as the
// datagram walk applies it.
class PeerValueTest : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    AddEntries({{"A", Cat::kNone}, {"F", Cat::kFctl}, {"D", Cat::kDisp}});
    for (const char* n : {"A", "F", "D"}) standin::WriteNamed(n, 0.0);
    // The correction log is one for the process: open a window of its own,
    // later than any an earlier test opened.
    static int tests = 0;
    windowMs_ = SteadyNowMs() + 3 * CorrectionLog::kWindowMs * ++tests;
    correctionLog.Tick(windowMs_);
  }
  std::int64_t windowMs_ = 0;
  long Count(const std::string& prefix) const {
    const auto lines = LogLines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
};

TEST_F(PeerValueTest, AValueAlreadyHeldIsNeitherWrittenNorLogged) {
  WalkPeerDatagram({{0, 2.0}});
  EXPECT_EQ(Named("A"), 2.0);
  WalkPeerDatagram({{0, 2.0}});  // a refresh of what the cockpit holds
  WalkPeerDatagram({{0, 2.0}});
  EXPECT_EQ(Count("LvarsSet: A"), 1);
  EXPECT_EQ(simThread.lvarTable[0]->agreed.load(), 2.0f);
}

TEST_F(PeerValueTest, APilotsFreshMoveIsNotFlickedBackByAnOlderValue) {
  standin::WriteNamed("F", 5.0);
  simThread.lvarTable[1]->value = 5.0f;
  simThread.lvarTable[1]->movedAtMs = SteadyNowMs();  // moved here just now
  WalkPeerDatagram({{1, 1.0}, {0, 3.0}});
  EXPECT_EQ(Named("F"), 5.0);
  EXPECT_EQ(Named("A"), 3.0) << "other entries of the same datagram still apply";
  // A move that no poll has seen yet counts too: the cockpit differs from
  // the entry's last poll.
  standin::WriteNamed("A", 4.0);
  WalkPeerDatagram({{0, 3.5}});
  EXPECT_EQ(Named("A"), 4.0);
  simThread.lvarTable[1]->movedAtMs = SteadyNowMs() - kFreshMoveMs;  // the move is old now
  WalkPeerDatagram({{1, 1.0}});
  EXPECT_EQ(Named("F"), 1.0);
}
