// The server's end of the reliable channel: a UDT listener on the base port
// and the client connections it accepted, filed by client id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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

  // Takes a connection UDT has made into the gate, and files under `id` the
  // first one in the gate that has greeted (an id already filed keeps its
  // socket). Anyone can complete a UDT handshake from the peer's address, so
  // a connection in the gate gets nothing, replaces nothing and has nothing
  // applied until its first record is a greeting or a hello, as a guest
  // sends first; one that sends something else, or nothing within kGateMs,
  // is closed. Once filed, a connection filed earlier from the same address
  // is one its peer has given up (it connected anew): it is closed and
  // forgotten. Never blocks; true when a connection was filed. A connection
  // from another address than the peer's, or one more than
  // kMaxOpenConnections, is refused and closed at once.
  bool AcceptNewClient(std::uint32_t id);
  // Whether connections wait in the gate.
  bool Gating();
  // Reads client `id` into `buffer` (kReliableReadRoom bytes) and returns
  // the bytes of whole records at its start; 0 for an id not filed. A
  // connection found closed is forgotten; connectionStatus stays 1 while
  // another one is left.
  std::size_t ReceiveFromClient(std::uint32_t id, std::uint8_t* buffer);
  // Sends the record to every client in ascending id order.
  void SendToAll(const MessageBytes& message);
  // Sends whole records to every client, or to client `id` only.
  void SendBytesToAll(const std::uint8_t* records, std::size_t size);
  void SendBytesTo(std::uint32_t id, const std::uint8_t* records, std::size_t size);
  // Sends what each client's connection holds (SendHeld).
  void SendHeldToAll();
  // Whether any connection has records not yet delivered.
  bool AnyUnsent();
  // The filed id after `after` (the first one when none is given).
  std::optional<std::uint32_t> NextClientId(std::optional<std::uint32_t> after);

  UDTSOCKET ListenSocket() const { return listenSocket; }

  static constexpr std::size_t kMaxOpenConnections = 4;
  // A guest greets at once; past this a connection in the gate is taken for
  // a forged handshake and closed. It is short of UDT's second keep-alive
  // (0.3 s, then 0.9 s after the handshake), so that one forged handshake
  // draws no more than the handshake's answer, one keep-alive and the close.
  static constexpr std::int64_t kGateMs = 800;
  static constexpr std::size_t kMaxGated = 4;
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

  // Whether the first record of `link`, read into `buffer`, is a greeting:
  // 0 when none has come yet, -1 when something else came first.
  int Greeted(ReliableLink& link, std::uint8_t* buffer);
  void File(std::uint32_t id, std::unique_ptr<ReliableLink> link);

  // Connections in the gate, with when each was accepted. Receive thread only.
  struct Gated {
    std::unique_ptr<ReliableLink> link;
    std::int64_t acceptedMs;
  };
  std::vector<Gated> gate;
  std::vector<std::uint8_t> gateBuffer;

  // Accepts add and receives remove entries on the receive thread while
  // sends walk the map on others; only the receive thread removes, so a link
  // it found stays valid for it.
  std::mutex clientsGuard;
  std::map<std::uint32_t, std::unique_ptr<ReliableLink>> clients;
};
