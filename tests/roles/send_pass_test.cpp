// The send loops' rules, one pass at a time, with the sends captured.
#include <algorithm>
#include <string>
#include <vector>

#include "common/log_limit.h"
#include "net/converge.h"
#include "net/receive_messages.h"
#include "net/role_loop.h"
#include "net_fixture.h"

namespace {

using Cat = LVarCategory;

struct Sent {
  char channel;  // 'r' reliable, 'd' datagram, 's' aircraft state
  std::int32_t kind;
  double index;
  double value;
  bool operator==(const Sent&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Sent& s) {
  return out << s.channel << "(" << s.kind << ", " << s.index << ", " << s.value << ")";
}

class SendPassTest : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    Store(roleState.isFollower, 0);
    output_.reliable = [this](std::int32_t kind, double index, double value, double) {
      sent_.push_back({'r', kind, index, value});
    };
    output_.datagram = [this](double index, double value, double) {
      sent_.push_back({'d', 1, index, value});
    };
    output_.state = [this](const AircraftStateRecord&) { sent_.push_back({'s', 23, 0, 0}); };
    // A packed datagram shows as its records, marked 'p'.
    output_.packed = [this](const std::uint8_t* records, std::size_t size) {
      for (std::size_t at = 0; at + kMessageSize <= size; at += kMessageSize) {
        const MessageRecord r = DecodeMessage(records + at);
        sent_.push_back({'p', r.kind, static_cast<double>(r.index), r.value});
      }
      datagramRecords_.push_back(size / kMessageSize);
    };
    output_.followerFlag = [this] {
      sent_.push_back({'f', 2, 0, static_cast<double>(Load(roleState.isFollower))});
    };
  }

  // One pass; the sends it made, state records left out unless asked for.
  std::vector<Sent> Pass(ReliableChangeRule rule = ReliableChangeRule::kEndsScan,
                         bool withState = false) {
    sent_.clear();
    RunSendPass(output_, rule, converge_, now_);
    std::vector<Sent> result;
    for (const Sent& s : sent_) {
      if (withState || s.channel != 's') result.push_back(s);
    }
    return result;
  }
  // A table whose variables all exist and read 0, seen once by a pass.
  void Table(const std::vector<std::pair<std::string, LVarCategory>>& entries) {
    for (const auto& [name, category] : entries) standin::WriteNamed(name, 0.0);
    AddEntries(entries);
    Pass();
  }

  RoleOutput output_;
  std::vector<Sent> sent_;
  ConvergeState converge_;
  // The passes' clock: it stands still unless a test moves it.
  std::int64_t now_ = SteadyNowMs();
  std::vector<std::size_t> datagramRecords_;
};

using V = std::vector<Sent>;

TEST_F(SendPassTest, ChangesCountAboveTwoTenthsInSinglePrecision) {
  Table({{"A", Cat::kNone}});
  standin::WriteNamed("A", 0.1);
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("A", 0.35);
  EXPECT_EQ(Pass(), (V{{'r', 1, 0, static_cast<float>(0.35)}}));
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("A", 0.0);
  Pass();
  standin::WriteNamed("A", 0.2);  // 0.20000000298 as a float difference
  EXPECT_EQ(Pass().size(), 1u);
  standin::WriteNamed("A", 0.4);  // 0.2 to 0.4 counts
  EXPECT_EQ(Pass().size(), 1u);
  standin::WriteNamed("A", 0.5);
  Pass();
  standin::WriteNamed("A", 0.3);  // 0.19999998808: no change
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("A", 0.5);
  Pass();
  standin::WriteNamed("A", 0.7);  // not a change from the poll before, but 0.3
  // from the 0.4 last sent: the creep goes
  EXPECT_EQ(Pass(), (V{{'r', 1, 0, static_cast<float>(0.7)}}));
}

TEST_F(SendPassTest, ASlowCreepGoesOnItsWayAndItsFinalValueAtRest) {
  Table({{"A", Cat::kNone}, {"B", Cat::kFctl}});
  std::vector<double> lastA, lastB;
  // The changes themselves, leaving out repeats and refreshes.
  auto changes = [this] {
    V out;
    for (const Sent& s : Pass(ReliableChangeRule::kContinues)) {
      if (s.channel != 'p') out.push_back(s);
    }
    return out;
  };
  for (int i = 1; i <= 30; ++i) {
    standin::WriteNamed("A", 0.1 * i);
    standin::WriteNamed("B", 0.1 * i);
    now_ += kSendPauseMs;
    for (const Sent& s : changes()) (s.index == 0 ? lastA : lastB).push_back(s.value);
  }
  // Each send is more than 0.2 from the one before, so jitter below that is
  // still not sent; the last one is within 0.3 of the end.
  ASSERT_GE(lastA.size(), 5u);
  EXPECT_EQ(lastA, lastB);
  EXPECT_GT(lastA.back(), 2.69f);
  standin::WriteNamed("A", 3.05);  // settles a little further
  standin::WriteNamed("B", 3.05);
  now_ += kSendPauseMs;
  changes();
  now_ += kRestMs - 1;
  EXPECT_EQ(changes(), V{}) << "not at rest yet";
  // At rest: the reliable entry's final value goes by the rest rule; the
  // flight control's went already with the repeats of its last send.
  now_ += 1;
  EXPECT_EQ(changes(), (V{{'r', 1, 0, static_cast<float>(3.05)}}));
  EXPECT_EQ(simThread.lvarTable[1]->agreed.load(), static_cast<float>(3.05));
  now_ += kRestMs;
  EXPECT_EQ(changes(), V{}) << "sent once";
}

TEST_F(SendPassTest, ADatagramChangeIsRepeatedWithItsCurrentValueThenStops) {
  Table({{"F", Cat::kFctl}, {"D", Cat::kDisp}, {"B", Cat::kBtn}, {"A", Cat::kNone}});
  standin::WriteNamed("F", 5.0);
  standin::WriteNamed("D", 5.0);  // display sync is off: neither sent nor repeated
  standin::WriteNamed("B", 1.0);  // a push button is pressed once, never repeated
  standin::WriteNamed("A", 5.0);  // reliable: no repeat needed
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 5.0}, {'d', 1, 2, 1.0}, {'r', 1, 3, 5.0}}));
  std::vector<std::pair<char, std::int64_t>> flightControlSends;
  const std::int64_t start = now_;
  for (int ms = 1; ms <= 2000; ++ms) {
    ++now_;
    if (ms == 200) standin::WriteNamed("F", 5.1);  // a small move, sent once at rest
    for (const Sent& s : Pass()) {
      if (s.index == 0) flightControlSends.push_back({s.channel, now_ - start});
      EXPECT_NE(s.index, 1) << "a display sent with its sync off";
      EXPECT_NE(s.index, 2) << "a push button pressed again";
      if (s.index == 0 && now_ - start >= 300) {
        EXPECT_EQ(s.value, static_cast<float>(5.1)) << "a repeat carries the current value";
      }
    }
  }
  // Four repeats, each gap twice the one before; the move at rest starts them
  // anew. Once a second the side that flies refreshes it too.
  using P = std::vector<std::pair<char, std::int64_t>>;
  EXPECT_EQ(flightControlSends, (P{{'p', 50},
                                   {'p', 150},
                                   {'d', 300},
                                   {'p', 350},
                                   {'p', 450},
                                   {'p', 650},
                                   {'p', 1000},
                                   {'p', 1050},
                                   {'p', 2000}}));
}

TEST_F(SendPassTest, FollowerNeverSendsFlightControlsNorRefreshesOrSnapshots) {
  Table({{"F", Cat::kFctl}, {"A", Cat::kNone}, {"D", Cat::kDisp}});
  Store(roleState.isFollower, 1);
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  standin::WriteNamed("F", 7.0);
  Store(linkState.connectionGeneration, 1);
  V all;
  for (int step = 0; step < 30; ++step) {
    now_ += 100;
    for (const Sent& s : Pass()) all.push_back(s);
  }
  EXPECT_EQ(all, V{}) << "3 s of following with a new connection";
  // Its own display change goes, repeated; nothing else.
  standin::WriteNamed("D", 2.0);
  now_ += 5;
  EXPECT_EQ(Pass(), (V{{'d', 1, 2, 2.0}}));
  now_ += kFirstRepeatMs;
  EXPECT_EQ(Pass(), (V{{'p', 1, 2, 2.0}}));
}

TEST_F(SendPassTest, SnapshotOnEachNewConnectionFromTheSideThatFlies) {
  Table({{"H0", Cat::kFcuHeading},
         {"A", Cat::kNone},
         {"F", Cat::kFctl},
         {"U", Cat::kFcu},
         {"H", Cat::kFcuHeading},
         {"M", Cat::kMbtn},
         {"B", Cat::kBtn},
         {"D", Cat::kDisp},
         {"W", Cat::kTerrWx},
         {"L", Cat::kFcu}});
  for (const char* n : {"H0", "A", "F", "U", "H", "M", "B", "D", "W", "L"}) {
    standin::WriteNamed(n, 1.0);
  }
  standin::WriteNamed("MCDU_KeysClear", 0.0);
  Store(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);  // weather on, displays off
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  Pass();  // the changes themselves
  now_ += kRestMs;
  Pass();
  Store(linkState.connectionGeneration, 1);
  // Values, the FCU before its FCUh, then the gear. No button, no display,
  // nothing for an FCUh without an FCU before it or an FCU without partner.
  const V snapshot{{'r', 1, 1, 1.0}, {'r', 1, 2, 1.0}, {'r', 1, 3, 1.0},
                   {'r', 1, 4, 1.0}, {'r', 1, 8, 1.0}, {'r', 8, 0, 1.0}};
  EXPECT_EQ(Pass(), snapshot);
  EXPECT_EQ(Pass(), V{}) << "once a connection";
  Store(linkState.connectionGeneration, 2);
  EXPECT_EQ(Pass(), snapshot) << "and again on a reconnect";
  // The host first tells the guest who flies, so that both agree again.
  converge_.tellsWhoFlies = true;
  Store(linkState.connectionGeneration, 3);
  V told{{'f', 2, 0, 0.0}};
  told.insert(told.end(), snapshot.begin(), snapshot.end());
  EXPECT_EQ(Pass(), told);
  Store(roleState.isFollower, 1);
  Store(linkState.connectionGeneration, 4);
  EXPECT_EQ(Pass(), (V{{'f', 2, 0, 1.0}})) << "a following host tells, sends no snapshot";
  const auto lines = LogLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "Cockpit sent to the peer: 5 values and the gear handle"),
            3);
}

TEST_F(SendPassTest, RefreshOnceASecondInFullDatagramsThatKeepPairsWhole) {
  // One record, then 60 pairs: a datagram of 50 would end in a pair's middle.
  std::vector<std::pair<std::string, LVarCategory>> entries{{"A", Cat::kNone}, {"W", Cat::kTerrWx}};
  for (int k = 0; k < 60; ++k) {
    entries.push_back({"U" + std::to_string(k), Cat::kFcu});
    entries.push_back({"H" + std::to_string(k), Cat::kFcuHeading});
  }
  entries.push_back({"M", Cat::kMbtn});
  Table(entries);
  Store(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);
  now_ += kRefreshPeriodMs - 1;
  EXPECT_EQ(Pass(), V{});
  now_ += 1;
  datagramRecords_.clear();
  const V refresh = Pass();
  ASSERT_EQ(refresh.size(), 122u);
  for (std::size_t k = 0; k < refresh.size(); ++k) {
    // The reliable entry stays on its channel.
    EXPECT_EQ(refresh[k].channel, k == 0 ? 'r' : 'p');
    EXPECT_EQ(refresh[k].index, static_cast<double>(k)) << "in table order, the button left out";
  }
  EXPECT_EQ(datagramRecords_, (std::vector<std::size_t>{49, 50, 22}));
  now_ += kRefreshPeriodMs / 2;
  EXPECT_EQ(Pass(), V{});
  Store(roleState.isFollower, 1);
  now_ += kRefreshPeriodMs;
  EXPECT_EQ(Pass(), V{}) << "only the side that flies refreshes";
}

// The send rules an entry of the table is shown, in their order, one test
// each: the first rule that fits takes the entry.
using SendRules = SendPassTest;

TEST_F(SendRules, ReliableChangeEndsTheServersScanNotTheClients) {
  Table({{"A", Cat::kNone}, {"B", Cat::kNone}, {"P", Cat::kBtn}});
  standin::WriteNamed("A", 1.0);
  standin::WriteNamed("B", 2.0);
  standin::WriteNamed("P", 1.0);
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan), (V{{'r', 1, 0, 1.0}}));
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan), (V{{'r', 1, 1, 2.0}}));
  // Nothing after a change ends the scan is looked at, not even a button.
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan), (V{{'d', 1, 2, 1.0}}));

  standin::WriteNamed("A", 3.0);
  standin::WriteNamed("B", 4.0);
  EXPECT_EQ(Pass(ReliableChangeRule::kContinues), (V{{'r', 1, 0, 3.0}, {'r', 1, 1, 4.0}}));
}

TEST_F(SendRules, MomentaryButtonIsReleasedAndSentUnlessFromThePeer) {
  Table({{"M1", Cat::kMbtn}, {"M2", Cat::kMbtn}});
  standin::WriteNamed("M1", 1.0);
  standin::WriteNamed("M2", 1.0);
  EXPECT_EQ(Pass(), V{}) << "held until the cockpit clears its keys";
  EXPECT_EQ(Named("M1"), 1.0);
  simThread.lvarTable[1]->syncMark = -1;  // M2's value came from the peer
  standin::WriteNamed("MCDU_KeysClear", 1.0);
  EXPECT_EQ(Pass(), (V{{'r', 1, 0, 1.0}}));
  EXPECT_EQ(Named("M1"), 0.0);
  EXPECT_EQ(Named("M2"), 0.0);
  EXPECT_EQ(simThread.lvarTable[0]->value.load(), 0.0f);
  EXPECT_EQ(simThread.lvarTable[0]->previous.load(), 0.0f);
  EXPECT_EQ(simThread.lvarTable[1]->syncMark.load(), 0);
  EXPECT_EQ(Named("MCDU_KeysClear"), 0.0);
  EXPECT_EQ(Pass(), V{});
}

TEST_F(SendRules, FcuPairGoesOnlyWhenTheFcuBeforeTheHeadingChanged) {
  // An FCUh entry that sends nothing is taken all the same: no later rule,
  // not even the gear handle's, sees it.
  Table({{"H0", Cat::kFcuHeading}});
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  EXPECT_EQ(Pass(), V{});
  simThread.sharedState->aircraft->gearHandlePosition = 0.0;
  Table({{"F", Cat::kFcu}, {"H", Cat::kFcuHeading}});
  standin::WriteNamed("F", 100.0);
  standin::WriteNamed("H", 150.0);
  Pass();
  standin::WriteNamed("F", 200.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 1, 200.0}, {'d', 1, 2, 150.0}}));
  standin::WriteNamed("H", 900.0);  // the partner alone: nothing
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("F", 300.0);
  standin::WriteNamed("H", 300.0);  // equal values: nothing
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("H0", 900.0);  // no entry before it: nothing
  EXPECT_EQ(Pass(), V{});
  // Once the two differ again, the FCU value that did not go goes with its
  // partner, though it did not move in this pass.
  standin::WriteNamed("H", 350.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 1, 300.0}, {'d', 1, 2, 350.0}}));
}

TEST_F(SendRules, FlightControlGoesOnlyFromTheSideThatFlies) {
  Table({{"FCTL", Cat::kFctl}});
  Store(roleState.isFollower, 1);
  standin::WriteNamed("FCTL", 1.0);
  EXPECT_EQ(Pass(), V{});
  // Once flying, the flight control it holds is the one that counts and goes.
  Store(roleState.isFollower, 0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 1.0}}));
  standin::WriteNamed("FCTL", 0.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 0.0}}));
}

TEST_F(SendRules, DisplayGoesOnlyWhileDisplaysAreSynced) {
  Table({{"DISP", Cat::kDisp}});
  standin::WriteNamed("DISP", 1.0);
  EXPECT_EQ(Pass(), V{});
  Store(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);  // not its gate
  EXPECT_EQ(Pass(), V{});
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  standin::WriteNamed("DISP", 0.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 0.0}}));
}

TEST_F(SendRules, TerrainWeatherGoesOnlyWhileWeatherIsSynced) {
  Table({{"WX", Cat::kTerrWx}});
  standin::WriteNamed("WX", 1.0);
  EXPECT_EQ(Pass(), V{});
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);  // not its gate
  EXPECT_EQ(Pass(), V{});
  Store(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);
  standin::WriteNamed("WX", 0.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 0.0}}));
}

TEST_F(SendRules, ButtonPressGoesFromEitherSideItsReleaseDoesNot) {
  Table({{"BTN", Cat::kBtn}});
  Store(roleState.isFollower, 1);
  standin::WriteNamed("BTN", 1.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 1.0}}));
  // The release is taken all the same: the gear handle waits for an entry
  // that no rule takes.
  Store(roleState.isFollower, 0);
  standin::WriteNamed("BTN", 0.0);
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  EXPECT_EQ(Pass(), V{});
  EXPECT_EQ(Pass(), (V{{'r', 8, 0, 1.0}}));
}

TEST_F(SendRules, GearHandleGoesOncePerMoveFromAnEntryNoOtherRuleTook) {
  Table({{"X", Cat::kBtn}, {"Y", Cat::kBtn}, {"Z", Cat::kBtn}});
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  EXPECT_EQ(Pass(), (V{{'r', 8, 0, 1.0}}));
  EXPECT_EQ(Pass(), V{});
  EXPECT_EQ(simThread.sharedState->lastGearHandle.load(), 1.0);
}

TEST_F(SendPassTest, StateGoesOnlyWhileFlying) {
  Table({{"X", Cat::kBtn}});
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan, true), (V{{'s', 23, 0, 0}}));
  Store(roleState.isFollower, 1);
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan, true), V{});
}

TEST_F(SendPassTest, ToggleSwapsWhoFliesAndTellsThePeer) {
  Store(roleState.isFollower, 0);
  standin::WriteNamed("MP_TGL", 1.0);
  Store(simThread.sharedState->vars->value[slot::kMpTgl], 1.0);
  sent_.clear();
  TakeToggleRequest(output_);
  EXPECT_EQ(Load(roleState.isFollower), 1);
  EXPECT_EQ(sent_, (V{{'f', 2, 0, 1.0}}));
  EXPECT_EQ(Named("MP_TGL"), 0.0);
  EXPECT_EQ(Named("MP_CONN"), 1.0);
  EXPECT_EQ(LogLines().back(), "MasterTGL1");
  sent_.clear();
  TakeToggleRequest(output_);  // the request was consumed
  EXPECT_EQ(sent_, V{});
  EXPECT_EQ(Load(roleState.isFollower), 1);
}

TEST_F(SendPassTest, AFollowersChangeIsResentUntilTheSideThatFliesShowsItBack) {
  Table({{"D", Cat::kDisp}, {"A", Cat::kNone}});
  Store(roleState.isFollower, 1);
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  standin::WriteNamed("D", 4.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 4.0}}));
  simThread.lvarTable[0]->movedAtMs = kNeverMs;  // past the fresh-move guard
  // A refresh the side that flies sent before the change reached it (say the
  // link was down): older, so it is not taken.
  WalkPeerDatagram({{0, 0.0}, {1, 0.0}});
  EXPECT_EQ(Named("D"), 4.0);
  bool resent = false;
  for (int k = 0; k < 3; ++k) {
    now_ += kRefreshPeriodMs;
    const V sent = Pass();
    resent = std::count(sent.begin(), sent.end(), Sent{'p', 1, 0, 4.0}) > 0;
    EXPECT_TRUE(resent) << "second " << k;
  }
  WalkPeerDatagram({{0, 4.0}, {1, 0.0}});  // shown back
  for (int k = 0; k < kRepeats + 1; ++k) {
    now_ += kRefreshPeriodMs;
    Pass();
  }
  now_ += kRefreshPeriodMs;
  EXPECT_EQ(Pass(), V{}) << "confirmed: no more repeats";
  WalkPeerDatagram({{0, 6.0}, {1, 0.0}});  // a later change of the side that flies
  EXPECT_EQ(Named("D"), 6.0);
}

}  // namespace
