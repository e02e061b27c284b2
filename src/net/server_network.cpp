#include "net/server_network.h"

#include <string>
#include <vector>

#include "common/module_state.h"
#include "net/peer_address.h"

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
  // UDT builds a connection for every well-formed handshake before we see
  // it, sized by these two settings: a short queue and a small window (our
  // records are small) keep a stranger's flood of handshakes to a few MB.
  const int window = kListenerWindowPackets;
  UDT::setsockopt(listenSocket, 0, UDT_FC, &window, sizeof window);
  lastResult = UDT::listen(listenSocket, kListenBacklog);
}

ServerNetwork::~ServerNetwork() { UDT::cleanup(); }

bool ServerNetwork::AcceptNewClient(std::uint32_t id) {
  sockaddr_in from{};
  int fromLength = sizeof from;
  clientSocket = UDT::accept(listenSocket, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (clientSocket == UDT::INVALID_SOCK) return false;
  if (!Admits(from.sin_addr.s_addr)) {
    UDT::close(clientSocket);
    clientSocket = UDT::INVALID_SOCK;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(clientsGuard);
    std::vector<std::uint32_t> replaced;
    for (const auto& [filed, link] : clients) {
      if (link->peer == from.sin_addr.s_addr) replaced.push_back(filed);
    }
    for (const std::uint32_t filed : replaced) Forget(filed);
    if (clients.find(id) == clients.end()) {
      auto link = std::make_unique<ReliableLink>();
      link->socket = clientSocket;
      link->open = true;
      link->peer = from.sin_addr.s_addr;
      clients.emplace(id, std::move(link));
    }
  }
  SetTimeouts(clientSocket);
  Store(linkState.connectionStatus, connection_status::kConnected);
  linkState.connectionGeneration.fetch_add(1, std::memory_order_relaxed);
  return true;
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
  std::lock_guard<std::mutex> lock(clientsGuard);
  for (auto& [id, link] : clients) SendRecord(*link, message);
}

std::optional<std::uint32_t> ServerNetwork::NextClientId(std::optional<std::uint32_t> after) {
  std::lock_guard<std::mutex> lock(clientsGuard);
  const auto next = after ? clients.upper_bound(*after) : clients.begin();
  if (next == clients.end()) return std::nullopt;
  return next->first;
}
