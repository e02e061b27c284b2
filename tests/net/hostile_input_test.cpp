// What a receiver does with what it must not apply: records from another
// address than the peer's, too many connections, numbers that are not
// finite, buttons the local cockpit never releases, a stop amid a long read,
// more datagrams or log lines than a pass or the disk should take.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "net/receive_messages.h"
#include "net_fixture.h"
#include "server/server_game.h"
#include "session/session_config.h"

namespace {

using Cat = LVarCategory;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class HostileInputTest : public NetFixture {
 protected:
  void StartServer(int portSlot) {
    UseBasePort(portSlot);
    AddEntries({{"A", Cat::kNone}, {"B", Cat::kFctl}, {"M", Cat::kMbtn}});
    game_ = std::make_unique<ServerGame>();
  }
  void ConnectPeer() {
    peer_ = ConnectToServer();
    ASSERT_TRUE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(0); }));
  }
  bool ReceiveUntil(const std::string& name, double value) {
    return PumpUntil([&] { ReceiveMessages(*game_); }, [&] { return Named(name) == value; });
  }
  long LogCount(const std::string& line) const {
    const auto lines = LogLines();
    return std::count(lines.begin(), lines.end(), line);
  }
  std::unique_ptr<ServerGame> game_;
  UDTSOCKET peer_ = UDT::INVALID_SOCK;
};

TEST_F(HostileInputTest, DatagramsFromAStrangerAreDroppedAndItsAddressLoggedOnce) {
  StartServer(40);
  const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, 0, 7.0, 0));
  AircraftStateRecord state;
  state.latitude = 66.0;
  SendStrangerDatagram(bytes.data(), bytes.size());
  SendStrangerDatagram(EncodeState(state).data(), kStateSize);
  SendVarDatagram(1, 2.0);  // the peer's marker
  ASSERT_TRUE(ReceiveUntil("B", 2.0));
  EXPECT_NE(Named("A"), 7.0);
  EXPECT_NE(Load(simThread.sharedState->latitude.target), 66.0);
  EXPECT_EQ(LogCount("Refused datagram from 127.0.0.2"), 1);
}

TEST_F(HostileInputTest, AnyOnLineThreeLetsEveryAddressIn) {
  Store(roleSetup.anySourceAllowed, true);
  StartServer(41);
  const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, 0, 7.0, 0));
  SendStrangerDatagram(bytes.data(), bytes.size());
  ASSERT_TRUE(ReceiveUntil("A", 7.0));
  peer_ = ConnectToServer(kStranger);
  EXPECT_TRUE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(0); }));
}

TEST_F(HostileInputTest, OnlyExactlyAnyOnLineThreeTurnsTheCheckOff) {
  const struct {
    const char* text;
    bool any;
  } cases[] = {{"10.0.0.1\n5000\nany\n", true},   {"10.0.0.1\r\n5000\r\nany", true},
               {"10.0.0.1\n5000\n", false},       {"10.0.0.1\n5000\nAny\n", false},
               {"10.0.0.1\n5000\nany \n", false}, {"any\n", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Store(roleSetup.anySourceAllowed, !c.any);
    WriteFile("SharedConfig.cfg", c.text);
    ReadSessionConfig();
    EXPECT_EQ(Load(roleSetup.anySourceAllowed), c.any);
  }
  EXPECT_EQ(roleSetup.peerAddress, "any");
  EXPECT_EQ(roleSetup.basePort, "5000");
}

TEST_F(HostileInputTest, ConnectionsFromAStrangerAreClosedAtAcceptAndNeverFiled) {
  StartServer(42);
  const UDTSOCKET stranger = ConnectToServer(kStranger);
  // Passes enough for the pending connection to be taken and refused.
  EXPECT_FALSE(PumpUntil([&] { ReceiveMessages(*game_); },
                         [&] { return game_->network->AcceptNewClient(0); }));
  EXPECT_FALSE(game_->network->NextClientId(std::nullopt).has_value());
  EXPECT_EQ(LogCount("Refused reliable connection from 127.0.0.2"), 1);
  // Nothing the stranger sends is read (once closed, its socket may take
  // nothing at all), and nothing is sent to it.
  const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, 0, 9.0, 0));
  UDT::send(stranger, reinterpret_cast<const char*>(bytes.data()), 24, 0);
  ConnectPeer();
  game_->network->SendToAll(EncodeMessage(MakeMessage(kind::kVarValue, 1, 1.0, 0)));
  SendMessage(peer_, kind::kVarValue, 1, 3.0, 0);
  ASSERT_TRUE(ReceiveUntil("B", 3.0));
  EXPECT_NE(Named("A"), 9.0);
  char byte = 0;
  EXPECT_LE(UDT::recv(stranger, &byte, 1, 0), 0);
}

TEST_F(HostileInputTest, AtMostFourOpenConnectionsAreKept) {
  // A new connection from an address already filed replaces the old one, so
  // only connections from distinct addresses (heard with "any") add up.
  Store(roleSetup.anySourceAllowed, true);
  StartServer(43);
  const char* const sources[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
  std::uint32_t id = 0;
  for (const char* source : sources) {
    ConnectToServer(source);
    ASSERT_TRUE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(id); }));
    ++id;
  }
  ConnectToServer("127.0.0.6");
  EXPECT_FALSE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(id); }));
  EXPECT_EQ(LogCount("Refused reliable connection from 127.0.0.6 (4 connections open)"), 1);
  // The peer coming back from an address already filed is not refused.
  ConnectToServer("127.0.0.3");
  EXPECT_TRUE(PumpUntil([] {}, [&] { return game_->network->AcceptNewClient(id); }));
}

TEST_F(HostileInputTest, RecordsWithNumbersThatAreNotFiniteAreDroppedWhole) {
  StartServer(44);
  ConnectPeer();
  Store(roleState.isFollower, 0);
  const double notFloats[] = {kNaN, kInf, -kInf, 1e39};
  for (const double v : notFloats) {
    SendMessage(peer_, kind::kVarValue, 0, v, 0);
    SendMessage(peer_, kind::kGearHandle, 0, v, 0);
    SendMessage(peer_, kind::kKeyEvent, 0, v, 66000.0);
    SendVarDatagram(0, v);
  }
  SendMessage(peer_, kind::kFollowerFlag, 0, kNaN, 0);
  AircraftStateRecord state;
  state.latitude = 10.0;
  state.altitude = kInf;
  SendDatagramBytes(EncodeState(state).data(), kStateSize);
  state.altitude = 500.0;
  state.airspeed = kNaN;
  SendDatagramBytes(EncodeState(state).data(), kStateSize);
  const double latitude = Load(simThread.sharedState->latitude.target);
  SendMessage(peer_, kind::kVarValue, 1, 4.0, 0);  // markers, one per channel
  ASSERT_TRUE(ReceiveUntil("B", 4.0));
  SendVarDatagram(1, 5.0);
  ASSERT_TRUE(ReceiveUntil("B", 5.0));

  EXPECT_TRUE(std::isfinite(simThread.lvarTable[0]->value.load()));
  // Only 1e39 is a gear position (a double, finite).
  const auto gear = standin::SetDataCalls();
  ASSERT_EQ(gear.size(), 1u);
  EXPECT_EQ(gear[0].value, 1e39);
  EXPECT_TRUE(standin::PerformedKeyEvents().empty());
  standin::PerformKeyEvents();
  EXPECT_TRUE(standin::PerformedKeyEvents().empty());
  EXPECT_EQ(Load(roleState.isFollower), 0);
  EXPECT_EQ(Load(simThread.sharedState->latitude.target), latitude);
}

TEST_F(HostileInputTest, AButtonTheCockpitNeverReleasesIsAppliedAfterASecond) {
  StartServer(45);
  ConnectPeer();
  standin::WriteNamed("M", 0.0);
  standin::WriteNamed("MCDU_KeysClear", 1.0);  // and it stays so
  SendMessage(peer_, kind::kVarValue, 2, 1.0, 0);
  SendMessage(peer_, kind::kVarValue, 1, 6.0, 0);
  ASSERT_TRUE(ReceiveUntil("B", 6.0));
  EXPECT_EQ(Named("M"), 1.0);
  EXPECT_EQ(simThread.lvarTable[2]->syncMark.load(), -1);
  EXPECT_EQ(LogCount("Button wait timed out: M"), 1);
}

TEST_F(HostileInputTest, ButtonsTheCockpitNeverReleasesHoldAPassASecondAllTogether) {
  StartServer(47);
  standin::WriteNamed("MCDU_KeysClear", 1.0);  // and it stays so
  std::vector<std::uint8_t> presses;
  for (int i = 0; i < 20; ++i) {
    const MessageBytes b = EncodeMessage(MakeMessage(kind::kVarValue, 2, 1.0 + i, 0));
    presses.insert(presses.end(), b.begin(), b.end());
  }
  SendDatagramBytes(presses.data(), presses.size());
  SendVarDatagram(1, 6.0);  // waiting behind the presses
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = std::chrono::steady_clock::now();
  ReceiveMessages(*game_);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.9);  // the presses did wait for the cockpit
  EXPECT_LT(seconds, 1.5);
  // All applied, in order, in this one pass, and the datagram behind them too.
  EXPECT_EQ(Named("M"), 20.0);
  EXPECT_EQ(Named("B"), 6.0);
  EXPECT_EQ(LogCount("Button wait timed out: M"), 1);
  // The next pass has its own second.
  SendDatagramBytes(presses.data(), 24);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ReceiveMessages(*game_);
  EXPECT_EQ(Named("M"), 1.0);
  EXPECT_EQ(LogCount("Button wait timed out: M"), 2);
}

TEST_F(HostileInputTest, AFloodOfAppliedValuesIsLoggedByTheCapAndCountedInFull) {
  StartServer(49);
  ConnectPeer();
  std::vector<std::uint8_t> records;
  for (int i = 0; i < 5000; ++i) {
    const MessageBytes v = EncodeMessage(MakeMessage(kind::kVarValue, 1, 1000.0 + i, 0));
    const MessageBytes k = EncodeMessage(MakeMessage(kind::kKeyEvent, 0, i, 66000.0));
    records.insert(records.end(), v.begin(), v.end());
    records.insert(records.end(), k.begin(), k.end());
  }
  SendBytes(peer_, records.data(), static_cast<int>(records.size()));
  ASSERT_TRUE(ReceiveUntil("B", 5999.0));
  game_.reset();  // a stop: what is still left out is counted now
  const auto lines = LogLines();
  static const std::regex kSummary(R"(\.\.\. and ([0-9]+) more (values|key events) applied)");
  long values = 0;
  long events = 0;
  for (const auto& line : lines) {
    std::smatch match;
    if (line.rfind("LvarsSet: B ", 0) == 0) ++values;
    if (line.rfind("SimEvent: 66000 ", 0) == 0) ++events;
    if (!std::regex_match(line, match, kSummary)) continue;
    (match[2] == "values" ? values : events) += std::stol(match[1]);
  }
  EXPECT_EQ(values, 5000);
  EXPECT_EQ(events, 5000);
  EXPECT_LT(lines.size(), 2u * (LogRateCap::kBurst + 20));
}

TEST_F(HostileInputTest, AStopRequestEndsAWalkBetweenRecords) {
  StartServer(46);
  std::vector<std::uint8_t> records;
  for (int i = 0; i < 1000; ++i) {
    const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, 0, 8.0, 0));
    records.insert(records.end(), bytes.begin(), bytes.end());
  }
  ReceiveLimits limits;
  Store(roleState.shutdownState, shutdown_state::kStopRequested);
  ApplyReliableRecords(records.data(), records.size(), limits,
                       [](const std::uint8_t*, std::size_t) {});
  WalkDatagram(records.data(), records.size(), limits);
  EXPECT_NE(Named("A"), 8.0);
  Store(roleState.shutdownState, shutdown_state::kRunning);
  WalkDatagram(records.data(), records.size(), limits);
  EXPECT_EQ(Named("A"), 8.0);
}

}  // namespace
