// Windows Sockets through the platform layer: non-blocking UDP on the
// loopback address, as the role objects use it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/platform.h"
#include "system_sockets.h"

namespace {

constexpr std::uint16_t kNoPort = 0;

class UdpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(platform::SocketsStartup(), 0); }
  void TearDown() override {
    for (const platform::Socket s : opened_) platform::CloseSocket(s);
    platform::SocketsCleanup();
  }

  // A socket set up like the module's datagram socket: reuse, non-blocking.
  platform::Socket Open() {
    const platform::Socket s = platform::OpenUdpSocket();
    EXPECT_NE(s, platform::kInvalidSocket);
    EXPECT_TRUE(platform::SetReuseAddress(s));
    EXPECT_TRUE(platform::SetNonBlocking(s));
    opened_.push_back(s);
    return s;
  }

  // A port that nothing holds at the moment of the call.
  std::uint16_t FreePort() {
    const platform::Socket probe = platform::OpenUdpSocket();
    EXPECT_EQ(platform::BindAnyAddress(probe, kNoPort), 0);
    const std::uint16_t port = platform::LocalPort(probe);
    platform::CloseSocket(probe);
    return port;
  }

  // Polls like a receive loop until a datagram arrives; every empty poll
  // must read -1. Gives up after `attempts` polls a millisecond apart.
  long PollForDatagram(platform::Socket s, void* buffer, std::size_t size, int* resets,
                       int attempts = 5000) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
      const long n = platform::ReceiveFrom(s, buffer, size);
      if (n >= 0) return n;
      EXPECT_EQ(n, -1);
      const int error = platform::LastSocketError();
      EXPECT_TRUE(error == WSAEWOULDBLOCK || error == WSAECONNRESET) << error;
      if (error == WSAECONNRESET && resets != nullptr) ++*resets;
      platform::SleepMs(1);
    }
    return -1;
  }

  const std::uint32_t loopback_ = htonl(INADDR_LOOPBACK);
  std::vector<platform::Socket> opened_;
};

TEST_F(UdpTest, StateDatagramReachesThePortAboveTheBasePort) {
  const std::uint16_t basePort = FreePort() - 1;
  const platform::Socket receiver = Open();
  ASSERT_EQ(platform::BindAnyAddress(receiver, basePort + 1), 0);
  EXPECT_EQ(platform::LocalPort(receiver), basePort + 1);

  std::array<unsigned char, 136> record;
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<unsigned char>(i * 7);
  const platform::Socket sender = Open();
  EXPECT_EQ(platform::SendTo(sender, record.data(), record.size(), loopback_, basePort + 1), 136);

  std::array<unsigned char, 5000> buffer{};
  ASSERT_EQ(PollForDatagram(receiver, buffer.data(), buffer.size(), nullptr), 136);
  EXPECT_EQ(std::memcmp(buffer.data(), record.data(), record.size()), 0);
  // The socket is drained: the next poll is empty at once.
  EXPECT_EQ(platform::ReceiveFrom(receiver, buffer.data(), buffer.size()), -1);
  EXPECT_EQ(platform::LastSocketError(), WSAEWOULDBLOCK);
}

TEST_F(UdpTest, UnreachablePeerReadsAsEmptyPollAndTheSocketGoesOn) {
  const platform::Socket own = Open();
  ASSERT_EQ(platform::BindAnyAddress(own, FreePort()), 0);
  // Nothing listens there: Windows answers the next receive with
  // WSAECONNRESET, which must not read as a datagram or end the socket.
  EXPECT_EQ(platform::SendTo(own, "x", 1, loopback_, FreePort()), 1);
  std::array<char, 64> buffer{};
  int resets = 0;
  EXPECT_EQ(PollForDatagram(own, buffer.data(), buffer.size(), &resets, 100), -1);

  const platform::Socket peer = Open();
  const std::array<char, 24> message = {1, 0, 0, 0, 7};
  EXPECT_EQ(
      platform::SendTo(peer, message.data(), message.size(), loopback_, platform::LocalPort(own)),
      24);
  ASSERT_EQ(PollForDatagram(own, buffer.data(), buffer.size(), &resets), 24);
  EXPECT_EQ(std::memcmp(buffer.data(), message.data(), message.size()), 0);
  RecordProperty("connection_resets_seen", resets);
}

TEST_F(UdpTest, BindToAHeldPortReportsTheSocketError) {
  const platform::Socket holder = platform::OpenUdpSocket();
  opened_.push_back(holder);
  const std::uint16_t port = FreePort();
  ASSERT_EQ(platform::BindAnyAddress(holder, port), 0);
  const platform::Socket second = platform::OpenUdpSocket();
  opened_.push_back(second);
  EXPECT_EQ(platform::BindAnyAddress(second, port), WSAEADDRINUSE);
}

TEST_F(UdpTest, InvalidSocketFailsQuietly) {
  std::array<char, 8> buffer{};
  EXPECT_EQ(platform::SendTo(platform::kInvalidSocket, buffer.data(), 8, loopback_, 5001), -1);
  EXPECT_EQ(platform::ReceiveFrom(platform::kInvalidSocket, buffer.data(), buffer.size()), -1);
  EXPECT_EQ(platform::BindAnyAddress(platform::kInvalidSocket, 5001), WSAENOTSOCK);
  EXPECT_EQ(platform::LocalPort(platform::kInvalidSocket), 0);
  platform::CloseSocket(platform::kInvalidSocket);
}

TEST(SocketsStartupTest, EachStartupIsMatchedByOneCleanup) {
  ASSERT_EQ(platform::SocketsStartup(), 0);
  ASSERT_EQ(platform::SocketsStartup(), 0);
  platform::SocketsCleanup();
  // One start-up is still in force.
  const platform::Socket s = platform::OpenUdpSocket();
  EXPECT_NE(s, platform::kInvalidSocket);
  platform::CloseSocket(s);
  platform::SocketsCleanup();
  EXPECT_EQ(platform::OpenUdpSocket(), platform::kInvalidSocket);
  EXPECT_EQ(platform::LastSocketError(), WSANOTINITIALISED);
}

}  // namespace
