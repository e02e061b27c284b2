// The server's end of the reliable channel: a UDT listener on the base port
// and the client connections it accepted, filed by client id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "net/peer_filter.h"
#include "net/reliable_link.h"

class ServerNetwork {
 public:
  // Starts UDT and listens; a failed bind sets connectionStatus 2 and leaves
  // an endpoint that accepts nothing.
  ServerNetwork();
  virtual ~ServerNetwork();
  ServerNetwork(const ServerNetwork&) = delete;
  ServerNetwork& operator=(const ServerNetwork&) = delete;

  // Files a pending connection under `id` (an id already filed keeps its
  // socket). A connection filed earlier from the same address is one its
  // peer has given up (it connected anew): it is closed and forgotten.
  // Never blocks; false when nothing was pending or the connection was
  // refused and closed: one from another address than the peer's, or one
  // more than kMaxOpenConnections.
  bool AcceptNewClient(std::uint32_t id);
  // Reads client `id` into `buffer` (kReliableReadRoom bytes) and returns
  // the bytes of whole records at its start; 0 for an id not filed. A
  // connection found closed is forgotten; connectionStatus stays 1 while
  // another one is left.
  std::size_t ReceiveFromClient(std::uint32_t id, std::uint8_t* buffer);
  // Sends the record to every client in ascending id order.
  void SendToAll(const MessageBytes& message);
  // The filed id after `after` (the first one when none is given).
  std::optional<std::uint32_t> NextClientId(std::optional<std::uint32_t> after);

  UDTSOCKET ListenSocket() const { return listenSocket; }

  static constexpr std::size_t kMaxOpenConnections = 4;
  // Connections UDT may hold for us to accept, and the flight window (in
  // packets) of each connection it builds.
  static constexpr int kListenBacklog = 8;
  static constexpr int kListenerWindowPackets = 1024;

 private:
  static constexpr const char* kConnectionWord = "reliable connection";

  // Whether a connection from `address` may be kept; a refusal is logged.
  bool Admits(std::uint32_t address);

  PeerFilter peerFilter;
  UDTSOCKET listenSocket = UDT::INVALID_SOCK;
  sockaddr_in listenAddress{};
  UDTSOCKET clientSocket = UDT::INVALID_SOCK;
  int lastResult = 0;
  // Closes and forgets client `id`; clientsGuard held.
  void Forget(std::uint32_t id);

  // Accepts add and receives remove entries on the receive thread while
  // sends walk the map on others; only the receive thread removes, so a link
  // it found stays valid for it.
  std::mutex clientsGuard;
  std::map<std::uint32_t, std::unique_ptr<ReliableLink>> clients;
};
