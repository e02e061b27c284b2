#include "net/server_network.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/log_limit.h"
#include "common/module_state.h"
#include "net/extension_records.h"
#include "net/peer_address.h"
#include "net/peer_talk.h"
#include "net/udt_pace.h"

ServerNetwork::ServerNetwork() {
  UDT::startup();
  listenSocket = UDT::socket(AF_INET, SOCK_STREAM, 0);
  listenAddress.sin_family = AF_INET;
  listenAddress.sin_port = ReliablePortField();
  listenAddress.sin_addr.s_addr = INADDR_ANY;
  if (UDT::bind(listenSocket, reinterpret_cast<const sockaddr*>(&listenAddress),
                sizeof listenAddress) == UDT::ERROR) {
    Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
    return;
  }
  SetNoBlocking(listenSocket);
  UseKeptSlowStart(listenSocket);
  // UDT builds a connection for every well-formed handshake before we see
  // it, sized by these two settings: a short queue and a small window (our
  // records are small) keep a stranger's flood of handshakes to a few MB.
  const int window = kListenerWindowPackets;
  UDT::setsockopt(listenSocket, 0, UDT_FC, &window, sizeof window);
  lastResult = UDT::listen(listenSocket, kListenBacklog);
  gateBuffer.resize(kReliableReadRoom);
}

ServerNetwork::~ServerNetwork() { UDT::cleanup(); }

bool ServerNetwork::AcceptNewClient(std::uint32_t id) {
  sockaddr_in from{};
  int fromLength = sizeof from;
  clientSocket = UDT::accept(listenSocket, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (clientSocket != UDT::INVALID_SOCK) {
    if (Admits(from.sin_addr.s_addr)) {
      auto link = std::make_unique<ReliableLink>();
      link->socket = clientSocket;
      link->open = true;
      link->peer = from.sin_addr.s_addr;
      SetTimeouts(clientSocket);
      // Forged handshakes must not crowd a real guest out of a full gate:
      // the one that waited longest makes room.
      if (gate.size() >= kMaxGated) {
        UDT::close(gate.front().link->socket);
        gate.erase(gate.begin());
      }
      gate.push_back(Gated{std::move(link), SteadyNowMs()});
    } else {
      UDT::close(clientSocket);
      clientSocket = UDT::INVALID_SOCK;
    }
  }
  const std::int64_t now = SteadyNowMs();
  for (auto waiting = gate.begin(); waiting != gate.end(); ++waiting) {
    const int greeted = Greeted(*waiting->link, gateBuffer.data());
    if (greeted > 0) {
      std::unique_ptr<ReliableLink> link = std::move(waiting->link);
      gate.erase(waiting);
      File(id, std::move(link));
      return true;
    }
    if (greeted < 0 || !waiting->link->open || now - waiting->acceptedMs >= kGateMs) {
      peerFilter.Refuse(
          waiting->link->peer, kConnectionWord,
          greeted < 0 ? " (it did not begin with a greeting)" : " (no greeting within 0.8 s)");
      UDT::close(waiting->link->socket);
      gate.erase(waiting);
      return false;  // the iterator is gone; the rest wait for the next pass
    }
  }
  return false;
}

bool ServerNetwork::Gating() { return !gate.empty(); }

int ServerNetwork::Greeted(ReliableLink& link, std::uint8_t* buffer) {
  int result = 0;
  const std::size_t whole = ReadRecords(link, buffer, result);
  if (whole == 0) return 0;
  link.early.assign(buffer, buffer + whole);
  const std::int32_t first = DecodeKind(buffer);
  const bool hello = first == kind::kExtension && DecodeExtensionType(buffer) == extension::kHello;
  return first == kind::kGreeting || hello ? 1 : -1;
}

void ServerNetwork::File(std::uint32_t id, std::unique_ptr<ReliableLink> link) {
  {
    std::lock_guard<std::mutex> lock(clientsGuard);
    std::vector<std::uint32_t> replaced;
    for (const auto& [filed, old] : clients) {
      if (old->peer == link->peer) replaced.push_back(filed);
    }
    for (const std::uint32_t filed : replaced) Forget(filed);
    if (clients.find(id) != clients.end()) {
      UDT::close(link->socket);
      return;
    }
    // This side's hello goes first, before the link is where other threads
    // send.
    ReliableLink& opening = *link;
    peerTalk.NewConnection([&opening](const std::uint8_t* data,
                                      std::size_t size) { SendRecords(opening, data, size); },
                           SteadyNowMs());
    clients.emplace(id, std::move(link));
  }
  Store(linkState.connectionStatus, connection_status::kConnected);
  linkState.connectionGeneration.fetch_add(1, std::memory_order_relaxed);
}

bool ServerNetwork::Admits(std::uint32_t address) {
  if (!peerFilter.Admits(address, kConnectionWord)) return false;
  std::size_t open = 0;
  {
    std::lock_guard<std::mutex> lock(clientsGuard);
    // A connection from the same address is about to be replaced, so it
    // does not count against the cap.
    for (const auto& [id, link] : clients) open += link->open && link->peer != address ? 1 : 0;
  }
  if (open < kMaxOpenConnections) return true;
  peerFilter.Refuse(address, kConnectionWord, " (" + std::to_string(open) + " connections open)");
  return false;
}

std::size_t ServerNetwork::ReceiveFromClient(std::uint32_t id, std::uint8_t* buffer) {
  ReliableLink* link = nullptr;
  {
    std::lock_guard<std::mutex> lock(clientsGuard);
    const auto found = clients.find(id);
    if (found == clients.end()) return 0;
    link = found->second.get();
  }
  if (!link->early.empty()) {
    // What the gate read is handed over first, in the stream's order.
    const std::size_t whole = link->early.size();
    std::memcpy(buffer, link->early.data(), whole);
    link->early.clear();
    link->early.shrink_to_fit();
    return whole;
  }
  const std::size_t whole = ReadRecords(*link, buffer, lastResult);
  if (!link->open) {
    std::lock_guard<std::mutex> lock(clientsGuard);
    Forget(id);
    if (!clients.empty()) Store(linkState.connectionStatus, connection_status::kConnected);
  }
  return whole;
}

void ServerNetwork::Forget(std::uint32_t id) {
  const auto found = clients.find(id);
  if (found == clients.end()) return;
  UDT::close(found->second->socket);
  clients.erase(found);
}

void ServerNetwork::SendToAll(const MessageBytes& message) {
  SendBytesToAll(message.data(), message.size());
}

void ServerNetwork::SendBytesToAll(const std::uint8_t* records, std::size_t size) {
  std::lock_guard<std::mutex> lock(clientsGuard);
  for (auto& [id, link] : clients) SendRecords(*link, records, size);
}

void ServerNetwork::SendHeldToAll() {
  std::lock_guard<std::mutex> lock(clientsGuard);
  for (auto& [id, link] : clients) SendHeld(*link);
}

bool ServerNetwork::AnyUnsent() {
  std::lock_guard<std::mutex> lock(clientsGuard);
  for (auto& [id, link] : clients) {
    if (HasUnsent(*link)) return true;
  }
  return false;
}

void ServerNetwork::SendBytesTo(std::uint32_t id, const std::uint8_t* records, std::size_t size) {
  std::lock_guard<std::mutex> lock(clientsGuard);
  const auto found = clients.find(id);
  if (found != clients.end()) SendRecords(*found->second, records, size);
}

std::optional<std::uint32_t> ServerNetwork::NextClientId(std::optional<std::uint32_t> after) {
  std::lock_guard<std::mutex> lock(clientsGuard);
  const auto next = after ? clients.upper_bound(*after) : clients.begin();
  if (next == clients.end()) return std::nullopt;
  return next->first;
}
