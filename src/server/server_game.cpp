#include "server/server_game.h"

#include <new>

#include "common/log.h"
#include "common/module_state.h"
#include "net/datagram_socket.h"
#include "net/peer_address.h"
#include "net/role_sends.h"

ServerGame::ServerGame() {
  if (platform::SocketsStartup() != 0) LogMessage("WSAStartup Failed");
  OpenDatagramSocket(datagramSocket);
  LogMessage("serverLoop init");
  BindDatagramSocket(datagramSocket, DatagramPort());
  LogMessage("serverLoop Binded Port: " + roleSetup.basePort);
  LogMessage("serverLoop UDP Bind Process completed");
  SendGreetingDatagram(datagramSocket, static_cast<std::uint16_t>(BasePortNumber()));
  SendGreetingDatagram(datagramSocket, DatagramPort());
  Store(linkState.connectedClientCount, 0);
  network = new (std::nothrow) ServerNetwork();
  LogMessage("serverLoop R UDP Bind Process completed");
}

ServerGame::~ServerGame() {
  delete network;
  CloseDatagramSocket(datagramSocket);
}

void SendReliableRecord(ServerGame& game, std::int32_t kind, double index, double value,
                        double extra) {
  if (game.network == nullptr) return;
  game.network->SendToAll(EncodeMessage(MakeMessage(kind, index, value, extra)));
}

void SendVarDatagram(ServerGame& game, double index, double value, double extra) {
  SendVarDatagramOn(game.datagramSocket, index, value, extra);
}

void SendVarDatagrams(ServerGame& game, const std::uint8_t* records, std::size_t size) {
  SendVarDatagramsOn(game.datagramSocket, records, size);
}

void SendStateDatagram(ServerGame& game, AircraftStateRecord record) {
  SendStateDatagramOn(game.datagramSocket, record);
}

void SendFollowerFlag(ServerGame& game) {
  SendReliableRecord(game, kind::kFollowerFlag, 0.0, Load(roleState.isFollower), 0.0);
}

bool ReliableBusy(ServerGame& game) { return game.network != nullptr && game.network->AnyUnsent(); }

void SendReliableBytes(ServerGame& game, const std::uint8_t* records, std::size_t size) {
  if (game.network != nullptr) game.network->SendBytesToAll(records, size);
}

Reply ReplyTo(ServerGame& game, std::uint32_t id) {
  return [&game, id](const std::uint8_t* data, std::size_t size) {
    game.network->SendBytesTo(id, data, size);
  };
}

void ReceiveMessages(ServerGame& game) {
  StartReceivePass(game.receiveLimits);
  if (game.network != nullptr) {
    for (auto id = game.network->NextClientId(std::nullopt); id;
         id = game.network->NextClientId(id)) {
      const std::size_t bytes = game.network->ReceiveFromClient(*id, game.receiveBuffer);
      if (bytes == 0) continue;
      ApplyReliableRecords(game.receiveBuffer, bytes, game.receiveLimits, ReplyTo(game, *id));
    }
  }
  ReceiveDatagrams(game.datagramSocket, game.receiveBuffer, game.datagramFilter,
                   game.receiveLimits);
  FinishReceivePass(game.receiveLimits);
}
