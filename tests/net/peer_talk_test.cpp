// The extension between two instances, record by record: who flies after a
// reconnect, and whose value stays when the two cockpits disagree.
#include "net/peer_talk.h"

#include <algorithm>
#include <vector>

#include "net/extension_records.h"
#include "net/table_digest.h"
#include "net_fixture.h"

namespace {

using Cat = LVarCategory;

class PeerTalkTest : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    peerTalk = PeerTalk{};
    Store(roleSetup.tableFingerprint, 7);
    AddEntries({{"A", Cat::kNone}, {"F", Cat::kFctl}, {"D", Cat::kDisp}, {"B", Cat::kBtn}});
    for (const char* n : {"A", "F", "D", "B"}) standin::WriteNamed(n, 0.0);
    reply_ = [this](const std::uint8_t* data, std::size_t size) {
      for (std::size_t at = 0; at + kMessageSize <= size; at += kMessageSize) {
        replies_.emplace_back(data + at, data + at + kMessageSize);
      }
    };
  }

  void Take(const MessageBytes& record) { peerTalk.Take(record.data(), reply_, limits_, now_); }

  // A new connection to a peer that says hello and its clock (the same as
  // this side's), as a peer sends them first.
  void Meet(bool peerFlies, bool peerKept, bool hereKept = false) {
    Store(linkState.helloExchanged, hereKept);
    peerTalk.NewConnection(reply_, now_);
    replies_.clear();
    Hello hello;
    hello.flies = peerFlies;
    hello.connectedBefore = peerKept;
    hello.fingerprint = 7;
    hello.sessionId = 99;
    Take(EncodeHello(hello));
    Take(EncodeClock(ClockSample{now_}));
  }

  // The stamped values among the replies: (position, value, exchange).
  std::vector<std::tuple<std::uint32_t, float, bool>> StampedReplies() const {
    std::vector<std::tuple<std::uint32_t, float, bool>> out;
    for (const auto& r : replies_) {
      if (DecodeKind(r.data()) != kind::kExtension ||
          DecodeExtensionType(r.data()) != extension::kStampedValue) {
        continue;
      }
      const StampedValue v = *DecodeStampedValue(r.data());
      out.emplace_back(v.position, v.value, v.exchange);
    }
    return out;
  }

  void Stamped(std::uint32_t position, float value, std::int64_t stampMs, bool exchange = false) {
    Take(EncodeStampedValue(StampedValue{position, value, stampMs, exchange}));
  }

  Reply reply_;
  std::vector<std::vector<std::uint8_t>> replies_;
  ReceiveLimits limits_;
  std::int64_t now_ = SteadyNowMs();
};

using Stamps = std::vector<std::tuple<std::uint32_t, float, bool>>;

TEST_F(PeerTalkTest, WhoFliesAfterAMeetingComesFromTheSideThatKeptItsSession) {
  struct Case {
    bool hereKept, peerKept, peerFlies;
    std::uint8_t followerBefore, followerAfter;
  };
  // This side is the guest (no server object): at a first meeting, or when
  // both kept their sessions, the host's choice stands.
  for (const Case c : {Case{false, false, true, 0, 1}, Case{true, true, false, 1, 0},
                       Case{true, false, true, 0, 0}, Case{false, true, false, 1, 0},
                       Case{false, true, true, 0, 1}}) {
    Store(roleState.isFollower, c.followerBefore);
    Meet(c.peerFlies, c.peerKept, c.hereKept);
    EXPECT_EQ(Load(roleState.isFollower), c.followerAfter)
        << "here kept " << c.hereKept << ", peer kept " << c.peerKept << ", peer flies "
        << c.peerFlies;
    EXPECT_EQ(Named("MP_CONN"), c.followerAfter);
    EXPECT_TRUE(Load(linkState.helloExchanged));
  }
}

TEST_F(PeerTalkTest, TheHellosAskForTheExchangeAndTheGearGoesFromTheSideThatCounts) {
  simThread.sharedState->aircraft->gearHandlePosition = 1.0;
  Store(roleState.isFollower, 1);
  Meet(true, false);  // following: no gear
  EXPECT_EQ(Load(linkState.exchangesAsked), 1u);
  const bool gearSent = std::any_of(replies_.begin(), replies_.end(), [](const auto& r) {
    return DecodeKind(r.data()) == kind::kGearHandle;
  });
  EXPECT_FALSE(gearSent);
  EXPECT_TRUE(StampedReplies().empty()) << "the send thread sends the values";
  // Kept, against a peer that has just started: this side's cockpit counts.
  Meet(false, false, true);
  EXPECT_EQ(Load(linkState.exchangesAsked), 2u);
  EXPECT_EQ(DecodeKind(replies_.back().data()), kind::kGearHandle);
  EXPECT_EQ(DecodeMessage(replies_.back().data()).value, 1.0);
  // A second hello on the same connection asks for nothing.
  Take(EncodeHello(Hello{}));
  EXPECT_EQ(Load(linkState.exchangesAsked), 2u);
}

TEST_F(PeerTalkTest, TheNewestChangeWinsAndTheLoserIsAnswered) {
  Store(roleState.isFollower, 1);
  Meet(true, false);
  LVarEntry& a = *simThread.lvarTable[0];
  // Changed here at now - 100: an older value from the peer is answered with
  // this side's, a newer one is taken with its stamp.
  standin::WriteNamed("A", 4.0);
  a.value = 4.0f;
  a.stampMs = now_ - 100;
  replies_.clear();
  Stamped(0, 9.0f, now_ - 500);
  EXPECT_EQ(Named("A"), 4.0);
  EXPECT_EQ(StampedReplies(), (Stamps{{0, 4.0f, false}}));
  replies_.clear();
  Stamped(0, 9.0f, now_ - 20);
  EXPECT_EQ(Named("A"), 9.0);
  EXPECT_EQ(Load(a.stampMs), now_ - 20);
  EXPECT_TRUE(replies_.empty());
  // Agreeing changes nothing; a stamp from the future is now at most.
  Stamped(0, 9.0f, now_ + 60000);
  EXPECT_EQ(Load(a.stampMs), now_);
  EXPECT_TRUE(replies_.empty());
  // Too close to order: the host's value wins, and this side is the guest.
  Stamped(0, 5.0f, now_ - 10);
  EXPECT_EQ(Named("A"), 5.0);
}

TEST_F(PeerTalkTest, OwnersOutrankStampsWhereTheTableSaysSo) {
  Store(roleState.isFollower, 1);
  Meet(true, true);  // the peer kept its session, this side is new
  LVarEntry& a = *simThread.lvarTable[0];
  standin::WriteNamed("A", 4.0);
  a.value = 4.0f;
  a.stampMs = now_;
  Stamped(0, 2.0f, now_ - 5000, true);
  EXPECT_EQ(Named("A"), 2.0) << "the exchange of a side that kept its session prevails";
  Stamped(0, 1.0f, now_ - 6000, false);
  EXPECT_EQ(Named("A"), 2.0) << "a later change is judged by its stamp";
  // The flight controls follow the side that flies, whatever the stamps.
  standin::WriteNamed("F", 6.0);
  simThread.lvarTable[1]->value = 6.0f;
  simThread.lvarTable[1]->stampMs = now_;
  Stamped(1, 3.0f, kNeverStamp);
  EXPECT_EQ(Named("F"), 3.0);
  // Displays only while both switches are on; buttons never.
  Stamped(2, 8.0f, now_);
  Stamped(3, 1.0f, now_);
  EXPECT_EQ(Named("D"), 0.0);
  EXPECT_EQ(Named("B"), 0.0);
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  Store(linkState.peerDisplaySync, true);
  Stamped(2, 8.0f, now_);
  EXPECT_EQ(Named("D"), 8.0);
}

TEST_F(PeerTalkTest, APlainPeerIsNamedOnceAndNothingOfTheExtensionAppliesBeforeAHello) {
  peerTalk.NewConnection(reply_, now_);
  Stamped(0, 9.0f, now_);
  EXPECT_EQ(Named("A"), 0.0) << "no hello yet";
  peerTalk.FirstRecordPlain();
  peerTalk.FirstRecordPlain();
  EXPECT_EQ(Load(linkState.peerKind), peer_kind::kPlain);
  const auto lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) {
                            return l.find("cannot be compared") != std::string::npos;
                          }),
            1);
  Hello hello;
  Take(EncodeHello(hello));  // a hello after other records is no hello
  EXPECT_EQ(Load(linkState.peerKind), peer_kind::kPlain);
}

// A block of the peer's digest that differs is answered with this side's
// shared values of that block, once for each pair of differing hashes.
TEST_F(PeerTalkTest, ADifferingDigestBlockIsAnsweredOnceWithItsSharedValues) {
  Store(roleState.isFollower, 1);
  Meet(true, false);
  simThread.lvarTable[0]->value = 3.0f;
  Digest digest;
  digest.blockEntries = kDigestBlockEntries;
  digest.count = 1;
  digest.hashes[0] = BlockHash(0, CurrentSwitches());
  replies_.clear();
  Take(EncodeDigest(digest));
  EXPECT_TRUE(replies_.empty()) << "the same values";
  digest.hashes[0] ^= 1;
  Take(EncodeDigest(digest));
  // Following: no flight control; display sync off; a button never.
  EXPECT_EQ(StampedReplies(), (Stamps{{0, 3.0f, false}}));
  replies_.clear();
  Take(EncodeDigest(digest));
  EXPECT_TRUE(replies_.empty()) << "the same difference again";
  simThread.lvarTable[0]->value = 4.0f;
  Take(EncodeDigest(digest));
  EXPECT_EQ(StampedReplies(), (Stamps{{0, 4.0f, false}})) << "a new difference";
  // Blocks past the table and another block size name nothing here.
  replies_.clear();
  digest.hashes = {1, 2, 3};
  for (const std::uint32_t first : {1u, 0xFFFFFFFFu}) {
    digest.firstBlock = first;
    Take(EncodeDigest(digest));
  }
  digest.firstBlock = 0;
  digest.blockEntries = 32;
  Take(EncodeDigest(digest));
  EXPECT_TRUE(replies_.empty());
}

}  // namespace
