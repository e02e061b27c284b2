// The send loops' rules, one pass at a time, with the sends captured.
#include <algorithm>
#include <string>
#include <vector>

#include "net_fixture.h"
#include "session/role_loop.h"

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
    Store(isFollower, 0);
    output_.reliable = [this](std::int32_t kind, double index, double value, double) {
      sent_.push_back({'r', kind, index, value});
    };
    output_.datagram = [this](double index, double value, double) {
      sent_.push_back({'d', 1, index, value});
    };
    output_.state = [this](const AircraftStateRecord&) { sent_.push_back({'s', 23, 0, 0}); };
    output_.followerFlag = [this] {
      sent_.push_back({'f', 2, 0, static_cast<double>(Load(isFollower))});
    };
  }

  // One pass; the sends it made, state records left out unless asked for.
  std::vector<Sent> Pass(ReliableChangeRule rule = ReliableChangeRule::kEndsScan,
                         bool withState = false) {
    sent_.clear();
    RunSendPass(output_, rule);
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
  standin::WriteNamed("A", 0.7);  // 0.2 to 0.3 does not count, nor does this
  EXPECT_EQ(Pass(), V{});
}

TEST_F(SendPassTest, ASlowCreepIsNeverSent) {
  Table({{"A", Cat::kNone}, {"B", Cat::kFctl}});
  for (int i = 1; i <= 30; ++i) {
    standin::WriteNamed("A", 0.1 * i);
    standin::WriteNamed("B", 0.1 * i);
    EXPECT_EQ(Pass(), V{}) << "pass " << i;
  }
}

TEST_F(SendPassTest, ServerSendsOneReliableChangePerPassClientAllOfThem) {
  Table({{"A", Cat::kNone}, {"B", Cat::kNone}});
  standin::WriteNamed("A", 1.0);
  standin::WriteNamed("B", 2.0);
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan), (V{{'r', 1, 0, 1.0}}));
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan), (V{{'r', 1, 1, 2.0}}));

  standin::WriteNamed("A", 3.0);
  standin::WriteNamed("B", 4.0);
  EXPECT_EQ(Pass(ReliableChangeRule::kContinues), (V{{'r', 1, 0, 3.0}, {'r', 1, 1, 4.0}}));
}

TEST_F(SendPassTest, FcuHeadingGoesOnlyWithTheChangedFcuBeforeIt) {
  Table({{"H0", Cat::kFcuHeading}, {"F", Cat::kFcu}, {"H", Cat::kFcuHeading}});
  standin::WriteNamed("F", 100.0);
  standin::WriteNamed("H", 150.0);
  Pass();
  standin::WriteNamed("F", 200.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 1, 200.0}, {'d', 1, 2, 150.0}}));
  standin::WriteNamed("F", 300.0);
  standin::WriteNamed("H", 300.0);  // equal values: nothing
  EXPECT_EQ(Pass(), V{});
  standin::WriteNamed("H", 900.0);   // the partner alone: nothing
  standin::WriteNamed("H0", 900.0);  // no entry before it: nothing
  EXPECT_EQ(Pass(), V{});
}

TEST_F(SendPassTest, DatagramCategoriesFollowTheirGates) {
  Table({{"FCTL", Cat::kFctl}, {"DISP", Cat::kDisp}, {"WX", Cat::kTerrWx}, {"BTN", Cat::kBtn}});
  auto moveAll = [](double v) {
    for (const char* n : {"FCTL", "DISP", "WX", "BTN"}) standin::WriteNamed(n, v);
  };
  // Following, no display or weather sync: only the button goes.
  Store(isFollower, 1);
  moveAll(1.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 3, 1.0}}));
  // A change not sent when seen is never sent later.
  Store(isFollower, 0);
  EXPECT_EQ(Pass(), V{});
  // Flying, with both gates open; a button going to 0 is not sent.
  Store(sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  Store(sharedState->vars->value[slot::kMpSyncWx], 1.0);
  moveAll(0.0);
  EXPECT_EQ(Pass(), (V{{'d', 1, 0, 0.0}, {'d', 1, 1, 0.0}, {'d', 1, 2, 0.0}}));
}

TEST_F(SendPassTest, MomentaryButtonsAreSentOnceOrPassedOverWhenFromThePeer) {
  Table({{"M1", Cat::kMbtn}, {"M2", Cat::kMbtn}});
  standin::WriteNamed("M1", 1.0);
  standin::WriteNamed("M2", 1.0);
  lvarTable[1]->syncMark = -1;  // M2's value came from the peer
  standin::WriteNamed("MCDU_KeysClear", 1.0);
  EXPECT_EQ(Pass(), (V{{'r', 1, 0, 1.0}}));
  EXPECT_EQ(Named("M1"), 0.0);
  EXPECT_EQ(Named("M2"), 0.0);
  EXPECT_EQ(lvarTable[0]->value.load(), 0.0f);
  EXPECT_EQ(lvarTable[0]->previous.load(), 0.0f);
  EXPECT_EQ(lvarTable[1]->syncMark.load(), 0);
  EXPECT_EQ(Named("MCDU_KeysClear"), 0.0);
  EXPECT_EQ(Pass(), V{});
}

TEST_F(SendPassTest, GearHandleGoesOncePerMoveAndStateOnlyWhileFlying) {
  Table({{"X", Cat::kBtn}, {"Y", Cat::kBtn}, {"Z", Cat::kBtn}});
  sharedState->aircraft->gearHandlePosition = 1.0;
  EXPECT_EQ(Pass(), (V{{'r', 8, 0, 1.0}}));
  EXPECT_EQ(Pass(), V{});
  EXPECT_EQ(sharedState->lastGearHandle.load(), 1.0);

  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan, true), (V{{'s', 23, 0, 0}}));
  Store(isFollower, 1);
  EXPECT_EQ(Pass(ReliableChangeRule::kEndsScan, true), V{});
}

TEST_F(SendPassTest, ToggleSwapsWhoFliesAndTellsThePeer) {
  Store(isFollower, 0);
  standin::WriteNamed("MP_TGL", 1.0);
  Store(sharedState->vars->value[slot::kMpTgl], 1.0);
  sent_.clear();
  TakeToggleRequest(output_);
  EXPECT_EQ(Load(isFollower), 1);
  EXPECT_EQ(sent_, (V{{'f', 2, 0, 1.0}}));
  EXPECT_EQ(Named("MP_TGL"), 0.0);
  EXPECT_EQ(Named("MP_CONN"), 1.0);
  EXPECT_EQ(LogLines().back(), "MasterTGL1");
  sent_.clear();
  TakeToggleRequest(output_);  // the request was consumed
  EXPECT_EQ(sent_, V{});
  EXPECT_EQ(Load(isFollower), 1);
}

}  // namespace
