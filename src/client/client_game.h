// The client's role object: the datagram socket, the reliable
// connection to the server and the buffer both channels are read into.
#pragma once

#include <cstdint>

#include "net/client_network.h"
#include "net/peer_filter.h"
#include "net/receive_messages.h"
#include "net/reliable_link.h"
#include "net/wire_records.h"
#include "platform/platform.h"

class ClientGame {
 public:
  // Never fails as a whole and never waits for the server: the reliable
  // channel connects on a thread of its own.
  ClientGame();
  virtual ~ClientGame();
  ClientGame(const ClientGame&) = delete;
  ClientGame& operator=(const ClientGame&) = delete;

  ClientNetwork* network = nullptr;
  platform::Socket datagramSocket = platform::kInvalidSocket;
  // Receive thread only: datagrams from other addresses than the peer's are dropped.
  PeerFilter datagramFilter;
  // Receive thread only: what bounds its passes and their log lines.
  ReceiveLimits receiveLimits;
  std::uint8_t receiveBuffer[kReceiveBufferSize];
};
static_assert(kReceiveBufferSize >= kReliableReadRoom);

// The client's send and receive operations.
void SendReliableRecord(ClientGame& game, std::int32_t kind, double index, double value,
                        double extra);
void SendVarDatagram(ClientGame& game, double index, double value, double extra);
void SendVarDatagrams(ClientGame& game, const std::uint8_t* records, std::size_t size);
void SendStateDatagram(ClientGame& game, AircraftStateRecord record);
void SendFollowerFlag(ClientGame& game);
// Whether the reliable channel holds records not yet delivered.
bool ReliableBusy(ClientGame& game);
// Whole records of the extension on the reliable channel.
void SendReliableBytes(ClientGame& game, const std::uint8_t* records, std::size_t size);
// One pass over both channels: the connection, then the datagrams waiting; a
// greeting among them tells the endpoint that the server has just started.
void ReceiveMessages(ClientGame& game);
