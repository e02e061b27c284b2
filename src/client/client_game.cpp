#include "client/client_game.h"

#include <new>

#include "common/log.h"
#include "common/module_state.h"
#include "net/datagram_socket.h"
#include "net/peer_address.h"
#include "net/role_sends.h"

ClientGame::ClientGame() {
  if (platform::SocketsStartup() != 0) LogMessage("WSAStartup Failed");
  OpenDatagramSocket(datagramSocket);
  BindDatagramSocket(datagramSocket, DatagramPort());
  network = new (std::nothrow) ClientNetwork();
  SendGreetingDatagram(datagramSocket, DatagramPort());
}

ClientGame::~ClientGame() {
  delete network;
  CloseDatagramSocket(datagramSocket);
}

void SendReliableRecord(ClientGame& game, std::int32_t kind, double index, double value,
                        double extra) {
  if (game.network == nullptr) return;
  game.network->Send(EncodeMessage(MakeMessage(kind, index, value, extra)));
}

void SendVarDatagram(ClientGame& game, double index, double value, double extra) {
  SendVarDatagramOn(game.datagramSocket, index, value, extra);
}

void SendVarDatagrams(ClientGame& game, const std::uint8_t* records, std::size_t size) {
  SendVarDatagramsOn(game.datagramSocket, records, size);
}

void SendStateDatagram(ClientGame& game, AircraftStateRecord record) {
  SendStateDatagramOn(game.datagramSocket, record);
}

void SendFollowerFlag(ClientGame& game) {
  SendReliableRecord(game, kind::kFollowerFlag, 0.0, Load(roleState.isFollower), 0.0);
}

bool ReliableBusy(ClientGame& game) { return game.network != nullptr && game.network->HasUnsent(); }

void SendReliableBytes(ClientGame& game, const std::uint8_t* records, std::size_t size) {
  if (game.network != nullptr) game.network->SendBytes(records, size);
}

void ReceiveMessages(ClientGame& game) {
  StartReceivePass(game.receiveLimits);
  if (game.network != nullptr) {
    const std::size_t bytes = game.network->Receive(game.receiveBuffer);
    ClientNetwork& network = *game.network;
    ApplyReliableRecords(
        game.receiveBuffer, bytes, game.receiveLimits,
        [&network](const std::uint8_t* data, std::size_t size) { network.SendBytes(data, size); });
  }
  if (ReceiveDatagrams(game.datagramSocket, game.receiveBuffer, game.datagramFilter,
                       game.receiveLimits) &&
      game.network != nullptr) {
    game.network->PeerStarted();
  }
  FinishReceivePass(game.receiveLimits);
}
