// The server keeps one connection per peer: a peer that connects anew has
// given its old connection up, and a connection found closed is forgotten, so
// reconnects never pile up.
#include "net/server_network.h"

#include <optional>
#include <vector>

#include "net_fixture.h"

namespace {

class ServerNetworkTest : public NetFixture {};

TEST_F(ServerNetworkTest, ANewConnectionFromThePeerReplacesTheOldAndAClosedOneIsForgotten) {
  UseBasePort(26);
  ServerNetwork network;
  ConnectToServer();
  ASSERT_TRUE(PumpUntil([] {}, [&] { return network.AcceptNewClient(0); }));
  const UDTSOCKET again = ConnectToServer();
  ASSERT_TRUE(PumpUntil([] {}, [&] { return network.AcceptNewClient(1); }));
  EXPECT_EQ(network.NextClientId(std::nullopt), std::optional<std::uint32_t>(1));
  EXPECT_EQ(network.NextClientId(1), std::nullopt);
  EXPECT_EQ(Load(linkState.connectionStatus), 1);

  // Records reach the connection that is left, after the hello it was greeted with.
  network.SendToAll(EncodeMessage(MakeMessage(kind::kVarValue, 3, 2.5, 0)));
  std::vector<int> skipped;
  const std::optional<MessageRecord> record = NextProtocolRecord(again, &skipped);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value, 2.5);
  EXPECT_EQ(skipped, (std::vector<int>{extension::kHello, extension::kClock}));

  UDT::close(again);
  std::vector<std::uint8_t> buffer(kReliableReadRoom);
  EXPECT_TRUE(PumpUntil([&] { network.ReceiveFromClient(1, buffer.data()); },
                        [&] { return !network.NextClientId(std::nullopt).has_value(); }));
  EXPECT_EQ(Load(linkState.connectionStatus), 2);
}

}  // namespace
