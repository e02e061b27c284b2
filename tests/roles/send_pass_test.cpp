// The send loops' rules, one pass at a time, with the sends captured.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/log_limit.h"
#include "net/converge.h"
#include "net/extension_records.h"
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
    // The extension's records show as 'x' with their type ('X' a stamped
    // value marked as the exchange's); a stamped value with its position and
    // value.
    output_.extension = [this](const std::uint8_t* records, std::size_t size) {
      for (std::size_t at = 0; at + kMessageSize <= size; at += kMessageSize) {
        const std::uint8_t type = DecodeExtensionType(records + at);
        const auto stamped = type == extension::kStampedValue ? DecodeStampedValue(records + at)
                                                              : std::optional<StampedValue>{};
        sent_.push_back({stamped && stamped->exchange ? 'X' : 'x', type,
                         stamped ? static_cast<double>(stamped->position) : 0.0,
                         stamped ? static_cast<double>(stamped->value) : 0.0});
      }
    };
    output_.followerFlag = [this] {
      sent_.push_back({'f', 2, 0, static_cast<double>(Load(roleState.isFollower))});
    };
    output_.reliableBusy = [this] { return busy_; };
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
  bool busy_ = false;
  std::vector<Sent> sent_;
  ConvergeState converge_;
  // The passes' clock: it stands still unless a test moves it.
  std::int64_t now_ = SteadyNowMs();
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
  auto changes = [this] { return Pass(ReliableChangeRule::kContinues); };
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
  // At rest: each final value goes by the rest rule.
  now_ += 1;
  EXPECT_EQ(changes(),
            (V{{'r', 1, 0, static_cast<float>(3.05)}, {'d', 1, 1, static_cast<float>(3.05)}}));
  EXPECT_EQ(simThread.lvarTable[1]->agreed.load(), static_cast<float>(3.05));
  now_ += kRestMs;
  EXPECT_EQ(changes(), V{}) << "sent once";
}

// A peer that speaks only the protocol gets each change once, and nothing
// at rest: no repeat, no refresh, no snapshot on a new connection.
TEST_F(SendPassTest, APlainPeerGetsTheChangesAndNothingAtRest) {
  Table({{"F", Cat::kFctl},
         {"D", Cat::kDisp},
         {"B", Cat::kBtn},
         {"A", Cat::kNone},
         {"U", Cat::kFcu},
         {"H", Cat::kFcuHeading}});
  Store(linkState.peerKind, peer_kind::kPlain);
  standin::WriteNamed("F", 5.0);
  standin::WriteNamed("D", 5.0);  // display sync is off
  standin::WriteNamed("B", 1.0);
  standin::WriteNamed("A", 5.0);
  standin::WriteNamed("H", 7.0);  // an FCUh entry moved alone: not in the protocol
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 5.0}, {'d', 1, 2, 1.0}, {'r', 1, 3, 5.0}}));
  Store(linkState.connectionGeneration, 1);
  V all;
  for (int step = 0; step < 40; ++step) {
    now_ += 100;
    for (const Sent& s : Pass()) all.push_back(s);
  }
  EXPECT_EQ(all, V{}) << "4 s at rest with a new connection";
}

// A peer that speaks the extension gets every change of an entry the owner
// rule shares stamped as well, and the changes the protocol leaves out.
TEST_F(SendPassTest, AnExtensionPeerGetsEveryChangeStamped) {
  Table({{"F", Cat::kFctl},
         {"D", Cat::kDisp},
         {"B", Cat::kBtn},
         {"A", Cat::kNone},
         {"U", Cat::kFcu},
         {"H", Cat::kFcuHeading},
         {"L", Cat::kFcu}});
  Store(linkState.peerKind, peer_kind::kExtension);
  Pass();  // takes the new peer as the exchange has left it
  standin::WriteNamed("F", 5.0);
  standin::WriteNamed("D", 5.0);  // display sync off here: neither sent nor stamped
  standin::WriteNamed("B", 1.0);  // a press is never stamped
  standin::WriteNamed("A", 5.0);
  standin::WriteNamed("H", 7.0);  // FCUh alone: the pair goes, FCU first
  standin::WriteNamed("L", 3.0);  // an FCU entry without partner goes alone
  EXPECT_EQ(Pass(ReliableChangeRule::kContinues), (V{{'d', 1, 0, 5.0},
                                                     {'x', extension::kStampedValue, 0, 5.0},
                                                     {'d', 1, 2, 1.0},
                                                     {'r', 1, 3, 5.0},
                                                     {'x', extension::kStampedValue, 3, 5.0},
                                                     {'d', 1, 4, 0.0},
                                                     {'d', 1, 5, 7.0},
                                                     {'x', extension::kStampedValue, 4, 0.0},
                                                     {'x', extension::kStampedValue, 5, 7.0},
                                                     {'d', 1, 6, 3.0},
                                                     {'x', extension::kStampedValue, 6, 3.0}}));
  // A pair set equal goes too.
  standin::WriteNamed("U", 7.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 4, 7.0},
                       {'d', 1, 5, 7.0},
                       {'x', extension::kStampedValue, 4, 7.0},
                       {'x', extension::kStampedValue, 5, 7.0}}));
  // Following, a flight control's move is only told, for the flying side to
  // answer with its own value.
  Store(roleState.isFollower, 1);
  standin::WriteNamed("F", 2.0);
  EXPECT_EQ(Pass(), (V{{'x', extension::kStampedValue, 0, 2.0}}));
  // At rest: a clock sample every five seconds and nothing else.
  V all;
  for (int step = 0; step < 100; ++step) {
    now_ += 100;
    for (const Sent& s : Pass()) all.push_back(s);
  }
  EXPECT_EQ(all, (V{{'x', extension::kClock, 0, 0}, {'x', extension::kClock, 0, 0}}));
  // Starting to fly, this side's flight controls go stamped; the display
  // switch turned on tells a hello, and with the peer's on too the displays
  // go: the one that moved while sync was off, and all of them stamped.
  Store(roleState.isFollower, 0);
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  Store(linkState.peerDisplaySync, true);
  EXPECT_EQ(Pass(), (V{{'d', 1, 1, 5.0},
                       {'x', extension::kStampedValue, 1, 5.0},
                       {'x', extension::kHello, 0, 0},
                       {'x', extension::kStampedValue, 1, 5.0},
                       {'x', extension::kStampedValue, 0, 2.0}}));
}

// Between two instances with the same table, at rest: a digest every
// second, one record for up to three blocks of 64 entries, held back a while
// when the reliable channel has anything undelivered.
TEST_F(SendPassTest, ADigestGoesEverySecondAtRestAndWaitsBehindUndeliveredRecords) {
  std::vector<std::pair<std::string, Cat>> table;
  for (int i = 0; i < 200; ++i) table.emplace_back("E" + std::to_string(i), Cat::kNone);
  Table(table);
  Store(linkState.peerKind, peer_kind::kExtension);
  Store(linkState.peerTableSame, true);
  Pass();
  const auto digests = [this](int passes) {
    int records = 0;
    for (int step = 0; step < passes; ++step) {
      now_ += 100;
      for (const Sent& s : Pass()) records += s.channel == 'x' && s.kind == extension::kDigest;
    }
    return records;
  };
  EXPECT_EQ(digests(50), 5 * 2) << "four blocks: two records a second";
  // Due at the tenth pass, it yields to undelivered records for half a
  // second at most, and goes as soon as the channel is clear.
  busy_ = true;
  EXPECT_EQ(digests(14), 0);
  EXPECT_EQ(digests(1), 2) << "half a second of yielding at most";
  EXPECT_EQ(digests(10), 0);
  busy_ = false;
  EXPECT_EQ(digests(1), 2) << "as soon as the channel is clear";
  Store(linkState.peerTableSame, false);
  EXPECT_EQ(digests(30), 0) << "the tables differ: positions name other entries there";
}

// The exchange the hellos ask for: every value this side offers, marked, a
// chunk a pass while the reliable channel has delivered everything before.
TEST_F(SendPassTest, TheExchangeGoesAChunkAtATimeBehindWhatIsStillOnItsWay) {
  std::vector<std::pair<std::string, Cat>> table;
  for (int i = 0; i < 600; ++i) {
    table.emplace_back("E" + std::to_string(i), i % 3 == 0 ? Cat::kFctl : Cat::kNone);
  }
  Table(table);
  Store(roleState.isFollower, 1);  // following: no flight control goes
  Store(linkState.peerKind, peer_kind::kExtension);
  Pass();
  linkState.exchangesAsked.fetch_add(1);
  busy_ = true;
  EXPECT_EQ(Pass(), V{});
  busy_ = false;
  // Changed while the exchange is on its way: judged by its stamp, not as
  // part of the exchange.
  Store(simThread.lvarTable[599]->stampMs, now_ + 1);
  std::vector<std::size_t> chunks;
  std::set<double> positions;
  for (int step = 0; step < 5; ++step) {
    const V sent = Pass();
    if (sent.empty()) continue;
    chunks.push_back(sent.size());
    for (const Sent& s : sent) {
      EXPECT_EQ(s.kind, extension::kStampedValue);
      EXPECT_EQ(s.channel, s.index == 599 ? 'x' : 'X') << s.index;
      positions.insert(s.index);
    }
  }
  EXPECT_EQ(chunks, (std::vector<std::size_t>{kBulkRecordsPerPass, 400 - kBulkRecordsPerPass}));
  EXPECT_EQ(positions.size(), 400u);
  EXPECT_EQ(std::count_if(positions.begin(), positions.end(),
                          [](double p) { return static_cast<int>(p) % 3 == 0; }),
            0);
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

TEST_F(SendPassTest, AGearPositionAppliedFromThePeerIsNotSentBack) {
  Table({{"X", Cat::kBtn}});
  Store(roleState.gearFromPeer, 1.0);  // as the receive thread notes it
  EXPECT_EQ(Pass(), V{}) << "the simulator has not taken it yet";
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  EXPECT_EQ(Pass(), V{}) << "taken: agreed, not sent back";
  simThread.sharedState->aircraft->gearHandlePosition = 0.0;
  EXPECT_EQ(Pass(), (V{{'r', 8, 0, 0.0}})) << "the pilot's own move goes";
}

}  // namespace
