// The reliable channel keeps records whole whatever the stream's boundaries,
// and the datagram walk survives whatever a datagram holds.
#include <algorithm>
#include <iostream>
#include <map>
#include <random>

#include "net/receive_messages.h"
#include "net_fixture.h"

namespace {

class ReliableLinkTest : public NetFixture {};

TEST_F(ReliableLinkTest, RecordsComeOutWholeAndInOrderFromAnyChunking) {
  UseBasePort(14);
  const UDTSOCKET listener = ListenForClient();
  const UDTSOCKET sender = ConnectToServer(nullptr, false);
  ReliableLink link;
  link.socket = Accept(listener);
  ASSERT_NE(link.socket, UDT::INVALID_SOCK);
  link.open = true;
  SetNoBlocking(link.socket);

  std::mt19937 random(20240611);
  constexpr int kRecords = 300;
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < kRecords; ++i) {
    const MessageBytes r = EncodeMessage(MakeMessage(
        static_cast<std::int32_t>(random() % 30), i,
        std::uniform_real_distribution<>(-1e6, 1e6)(random), static_cast<double>(random())));
    stream.insert(stream.end(), r.begin(), r.end());
  }

  std::vector<std::uint8_t> buffer(kReliableReadRoom);
  std::vector<std::uint8_t> received;
  int lastResult = 0;
  std::size_t sent = 0;
  while (sent < stream.size()) {
    const std::size_t chunk = std::min<std::size_t>(stream.size() - sent, 1 + random() % 60);
    SendBytes(sender, stream.data() + sent, static_cast<int>(chunk));
    sent += chunk;
    // Sometimes read between chunks, so that reads end inside records.
    if (random() % 2 == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const std::size_t n = ReadRecords(link, buffer.data(), lastResult);
      ASSERT_EQ(n % kMessageSize, 0u);
      received.insert(received.end(), buffer.begin(), buffer.begin() + n);
    }
  }
  ASSERT_TRUE(PumpUntil(
      [&] {
        const std::size_t n = ReadRecords(link, buffer.data(), lastResult);
        received.insert(received.end(), buffer.begin(), buffer.begin() + n);
      },
      [&] { return received.size() >= stream.size(); }));
  EXPECT_TRUE(received == stream);
  EXPECT_EQ(link.fragmentSize, 0u);
  EXPECT_EQ(Load(linkState.connectionStatus), 0);  // nothing pending is no loss
}

// A peer that reads nothing fills UDT's buffers; what UDT then refuses is
// held and follows in order once the peer reads again, nothing lost or cut.
TEST_F(ReliableLinkTest, RecordsUdtRefusesAreHeldAndFollowInOrder) {
  UseBasePort(15);
  const UDTSOCKET listener = ListenForClient();
  ReliableLink link;
  link.socket = ConnectToServer(nullptr, false);
  link.open = true;
  SetNoBlocking(link.socket);
  const UDTSOCKET reader = Accept(listener);
  ASSERT_NE(reader, UDT::INVALID_SOCK);
  constexpr std::uint32_t kChunk = 20000;
  std::uint32_t next = 0;
  auto sendChunk = [&](std::uint32_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t k = 0; k < count; ++k, ++next) {
      const MessageBytes r = EncodeMessage(MakeMessage(kind::kVarValue, next, 1.0, 0));
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    SendRecords(link, bytes.data(), bytes.size());
  };
  while (link.held.empty() && next < 4'000'000) sendChunk(kChunk);
  ASSERT_FALSE(link.held.empty()) << "UDT never refused";
  sendChunk(3);  // behind what is held
  std::cout << next << " records sent, " << link.held.size() << " bytes held\n";

  std::vector<std::uint8_t> buffer(kReliableReadRoom);
  ReliableLink in;
  in.socket = reader;
  in.open = true;
  SetNoBlocking(reader);
  int lastResult = 0;
  std::uint32_t expected = 0;
  bool inOrder = true;
  ASSERT_TRUE(PumpUntil(
      [&] {
        SendHeld(link);
        const std::size_t n = ReadRecords(in, buffer.data(), lastResult);
        for (std::size_t at = 0; at < n; at += kMessageSize) {
          inOrder = inOrder &&
                    DecodeMessage(buffer.data() + at).index == static_cast<std::int32_t>(expected);
          ++expected;
        }
      },
      [&] { return expected >= next; }));
  EXPECT_TRUE(inOrder);
  EXPECT_TRUE(link.held.empty());
}

TEST_F(ReliableLinkTest, ASendThatTakesNothingIsReportedAndDropped) {
  ReliableLink link;
  link.socket = UDT::socket(AF_INET, SOCK_STREAM, 0);  // never connected
  testing::internal::CaptureStdout();
  SendRecord(link, EncodeMessage(MakeMessage(1, 0, 1.0, 0)));
  const std::string out = testing::internal::GetCapturedStdout();
  UDT::close(link.socket);
  EXPECT_EQ(out, "send failed with error: 2002\n");
}

TEST_F(ReliableLinkTest, AConnectionThatNeverExistedIsNotReportedClosed) {
  ReliableLink link;
  link.socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
  std::vector<std::uint8_t> buffer(kReliableReadRoom);
  int lastResult = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(ReadRecords(link, buffer.data(), lastResult), 0u);
  const std::string out = testing::internal::GetCapturedStdout();
  UDT::close(link.socket);
  EXPECT_EQ(lastResult, -1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Load(linkState.connectionStatus), 0);
}

// Random datagrams built from records of every kind, some cut short or ended
// by a kind the walk does not know; a simple model of what they hold says
// which values must arrive.
TEST_F(ReliableLinkTest, DatagramWalkAppliesExactlyWhatTheDatagramsHold) {
  AddEntries({{"A", LVarCategory::kFctl}, {"B", LVarCategory::kFctl}, {"C", LVarCategory::kDisp}});
  std::mt19937 random(7);
  std::map<std::string, double> expected;
  double expectedLatitude = simThread.sharedState->latitude.target.load();
  const char* names[] = {"A", "B", "C"};
  ReceiveLimits limits;
  for (int d = 0; d < 300; ++d) {
    std::vector<std::uint8_t> datagram;
    std::map<std::string, double> applied;
    double latitude = expectedLatitude;
    bool walking = true;
    const int records = static_cast<int>(random() % 5);
    for (int r = 0; r < records; ++r) {
      const int choice = static_cast<int>(random() % 6);
      if (choice <= 2) {  // a VarValueRecord, index in or out of the table
        const int index = static_cast<int>(random() % 5) - 1;
        const double value = static_cast<int>(random() % 1000);
        const MessageBytes b = EncodeMessage(MakeMessage(kind::kVarValue, index, value, 0));
        datagram.insert(datagram.end(), b.begin(), b.end());
        if (walking && index >= 0 && index < 3) applied[names[index]] = value;
      } else if (choice == 3) {  // a state record, checked or not
        AircraftStateRecord s;
        s.latitude = static_cast<int>(random() % 1000);
        s.checkWord = static_cast<std::int32_t>(random() % 2);
        const StateBytes b = EncodeState(s);
        datagram.insert(datagram.end(), b.begin(), b.end());
        if (walking && s.checkWord == 0) latitude = s.latitude;
      } else if (choice == 4) {  // a greeting
        std::vector<std::uint8_t> g(kGreetingDatagramSize, 0);
        if (random() % 2) g.resize(24 + random() % 100);  // cut short: ends the datagram
        datagram.insert(datagram.end(), g.begin(), g.end());
        if (g.size() < kGreetingDatagramSize) break;
      } else {  // unknown kind: nothing after it counts
        MessageBytes b = EncodeMessage(MakeMessage(40 + static_cast<int>(random() % 10), 0, 1, 0));
        datagram.insert(datagram.end(), b.begin(), b.end());
        walking = false;
      }
    }
    if (random() % 4 == 0) {  // a tail too short for any record
      const std::size_t tail = random() % 24;
      for (std::size_t i = 0; i < tail; ++i)
        datagram.push_back(static_cast<std::uint8_t>(random()));
    }
    WalkDatagram(datagram.data(), datagram.size(), limits);
    for (const auto& [name, value] : applied) expected[name] = value;
    expectedLatitude = latitude;
    for (const char* name : names) {
      const double want = expected.count(name) ? expected[name] : -999.0;
      ASSERT_EQ(Named(name), want) << "datagram " << d << " entry " << name;
    }
    ASSERT_EQ(simThread.sharedState->latitude.target.load(), expectedLatitude) << "datagram " << d;
  }
}

}  // namespace
