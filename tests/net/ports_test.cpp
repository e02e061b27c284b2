// Where the channels listen for a configured base port P: datagrams on P + 1,
// the reliable channel on P with its two bytes swapped.
#include <array>
#include <memory>

#include "net/peer_address.h"
#include "net/server_network.h"
#include "net_fixture.h"
#include "server/server_game.h"

namespace {

std::uint16_t UdtPort(UDTSOCKET s) {
  sockaddr_in address{};
  int length = sizeof address;
  if (UDT::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == UDT::ERROR) return 0;
  return ntohs(address.sin_port);
}

class PortsTest : public NetFixture {};

TEST_F(PortsTest, Port5000GivesDatagrams5001AndReliable34835) {
  roleSetup.basePort = "5000";
  auto game = std::make_unique<ServerGame>();
  EXPECT_EQ(platform::LocalPort(game->datagramSocket), 5001);
  ASSERT_NE(game->network, nullptr);
  EXPECT_EQ(UdtPort(game->network->ListenSocket()), 34835);
  EXPECT_NE(Load(linkState.connectionStatus), 2);
}

TEST_F(PortsTest, Port256GivesReliablePort1And1Gives256) {
  // Port 1 itself is not bound here: the datagram tests of an empty port
  // text bind it at the same time.
  roleSetup.basePort = "256";
  EXPECT_EQ(ntohs(ReliablePortField()), 1);
  // Built as a string first: GCC 12 at -O3 takes the assignment of a
  // one-character literal for an overlapping copy (a false -Wrestrict).
  roleSetup.basePort = std::string("1");
  ServerNetwork network;
  EXPECT_EQ(UdtPort(network.ListenSocket()), 256);
}

// Port text that is not plain digits from 1 to 65534 is no port: P is 0 as
// for empty text, and no datagram leaves for the peer.
TEST_F(PortsTest, TextThatIsNoPortNumberIsPortZeroAndSendsNothing) {
  const int p = TestBasePort(1);
  const platform::Socket watcher = platform::OpenUdpSocket();
  ASSERT_EQ(platform::BindAnyAddress(watcher, static_cast<std::uint16_t>(p + 1)), 0);
  ASSERT_TRUE(platform::SetNonBlocking(watcher));
  for (const std::string& text : {std::to_string(p) + "x7", std::string("4294967297"),
                                  std::to_string(p + 4294967296LL), std::string("")}) {
    SCOPED_TRACE(text);
    roleSetup.basePort = text;
    EXPECT_EQ(BasePortNumber(), 0);
    auto game = std::make_unique<ServerGame>();
    EXPECT_EQ(platform::LocalPort(game->datagramSocket), 1);
    // Port 0: the listener gets whatever port the system gives.
    EXPECT_NE(UdtPort(game->network->ListenSocket()), 0);
  }
  // The greetings went nowhere, not even to the port the text begins with.
  std::array<std::uint8_t, 256> buffer{};
  platform::SleepMs(50);
  EXPECT_EQ(platform::ReceiveFrom(watcher, buffer.data(), buffer.size()), -1);
  platform::CloseSocket(watcher);
}

TEST_F(PortsTest, ServerLogsItsSetUpAndABindThatFails) {
  const int p = TestBasePort(2);
  roleSetup.basePort = std::to_string(p);
  // Another socket holds P + 1 without sharing it.
  const platform::Socket holder = platform::OpenUdpSocket();
  ASSERT_EQ(platform::BindAnyAddress(holder, static_cast<std::uint16_t>(p + 1)), 0);
  {
    auto game = std::make_unique<ServerGame>();
    EXPECT_EQ(Load(linkState.connectedClientCount), 0);
  }
  platform::CloseSocket(holder);
  const auto lines = LogLines();
  const std::vector<std::string> expected = {
      "serverLoop init", " Bind failed98", "serverLoop Binded Port: " + roleSetup.basePort,
      "serverLoop UDP Bind Process completed", "serverLoop R UDP Bind Process completed"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
