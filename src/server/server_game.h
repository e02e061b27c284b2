// The server's role object: the datagram socket, the listening
// reliable endpoint and the buffer both channels are read into.
#pragma once

#include <cstdint>

#include "net/peer_filter.h"
#include "net/receive_messages.h"
#include "net/reliable_link.h"
#include "net/server_network.h"
#include "net/wire_records.h"
#include "platform/platform.h"

class ServerGame {
 public:
  // Never fails as a whole: each failing step is logged and the next runs.
  ServerGame();
  virtual ~ServerGame();
  ServerGame(const ServerGame&) = delete;
  ServerGame& operator=(const ServerGame&) = delete;

  ServerNetwork* network = nullptr;
  platform::Socket datagramSocket = platform::kInvalidSocket;
  // Receive thread only: datagrams from other addresses than the peer's are dropped.
  PeerFilter datagramFilter;
  // Receive thread only: what bounds its passes and their log lines.
  ReceiveLimits receiveLimits;
  // Room for a reliable read with its kept fragment, and for a datagram read.
  std::uint8_t receiveBuffer[kReceiveBufferSize];
};
static_assert(kReceiveBufferSize >= kReliableReadRoom);

// The server's send and receive operations.
void SendReliableRecord(ServerGame& game, std::int32_t kind, double index, double value,
                        double extra);
void SendVarDatagram(ServerGame& game, double index, double value, double extra);
void SendVarDatagrams(ServerGame& game, const std::uint8_t* records, std::size_t size);
void SendStateDatagram(ServerGame& game, AircraftStateRecord record);
void SendFollowerFlag(ServerGame& game);
// Whether the reliable channel holds records not yet delivered.
bool ReliableBusy(ServerGame& game);
// Whole records of the extension on the reliable channel.
void SendReliableBytes(ServerGame& game, const std::uint8_t* records, std::size_t size);
// One pass over both channels: every client connection in id order, then the
// datagrams waiting.
void ReceiveMessages(ServerGame& game);
// Sends on client `id`'s connection only.
Reply ReplyTo(ServerGame& game, std::uint32_t id);
