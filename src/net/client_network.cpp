#include "net/client_network.h"

#include <string>

#include "module/globals.h"
#include "session/config_file.h"
#include "session/log.h"
#include "session/log_limit.h"
#include "session/peer_lookup.h"
#include "session/session_config.h"

namespace {

constexpr unsigned kPollMs = 20;
// A greeting that arrives this soon after a connection was taken was sent
// before it was made: it is no sign of a restart.
constexpr std::int64_t kGreetingGraceMs = 1000;

// Every failed attempt, while the server is away, would be a line.
LogLimit connectFailures;

}  // namespace

ClientNetwork::ClientNetwork() {
  UDT::startup();
  LogMessage("R UDP start");
  serverAddress.sin_family = AF_INET;
  serverAddress.sin_port = ReliablePortField();
  std::uint32_t address = 0;
  // Text that is neither an address nor a name names no server (the
  // configuration's check has said so); connecting to the zero address would
  // reach this machine.
  if (!platform::ParseAddress(peerAddress.c_str(), &address) && !IsHostName(peerAddress)) {
    Store(connectionStatus, connection_status::kFailedOrClosed);
    return;
  }
  connectThread = platform::StartJoinableThread(ConnectLoop, this);
  if (connectThread == platform::kNoThread) {
    LogMessage("R UDP: no thread to connect with; the reliable channel stays down");
    Store(connectionStatus, connection_status::kFailedOrClosed);
  }
}

ClientNetwork::~ClientNetwork() {
  stopping.store(true, std::memory_order_relaxed);
  if (connectThread != platform::kNoThread) platform::WaitThread(connectThread);
  const UDTSOCKET made = madeSocket.exchange(UDT::INVALID_SOCK);
  if (made != UDT::INVALID_SOCK) UDT::close(made);
  if (channel.socket != UDT::INVALID_SOCK) UDT::close(channel.socket);
  UDT::cleanup();
}

unsigned ClientNetwork::ConnectLoop(void* self) {
  auto& network = *static_cast<ClientNetwork*>(self);
  while (!network.stopping.load(std::memory_order_relaxed)) {
    if (!network.wantConnection.load(std::memory_order_relaxed)) {
      platform::SleepMs(kPollMs);
      continue;
    }
    if (!network.TryConnect()) network.PauseBeforeRetry();
  }
  return 0;
}

// One blocking attempt; UDT gives up after about 3 s when nobody answers.
bool ClientNetwork::TryConnect() {
  // A dynamic-DNS name is looked up again before every attempt, since the
  // server's address may have changed while the link was down.
  if (!ResolvePeer()) {
    Store(connectionStatus, connection_status::kFailedOrClosed);
    return false;
  }
  serverAddress.sin_addr.s_addr = Load(peerIpv4);
  const UDTSOCKET socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
  if (UDT::connect(socket, reinterpret_cast<const sockaddr*>(&serverAddress),
                   sizeof serverAddress) == UDT::ERROR) {
    UDT::ERRORINFO& error = UDT::getlasterror();
    connectFailures.Log("R UDP connect to " + peerAddress + " (UDP port " +
                        std::to_string(ntohs(serverAddress.sin_port)) +
                        ") failed: " + error.getErrorMessage() + "; trying again every " +
                        std::to_string(kRetryPauseMs / 1000) + " s");
    UDT::close(socket);
    Store(connectionStatus, connection_status::kFailedOrClosed);
    return false;
  }
  SetNoBlocking(socket);
  SetTimeouts(socket);
  // Cleared before the hand-over, so that a loss the receive thread reports
  // for this connection is not overwritten.
  wantConnection.store(false, std::memory_order_relaxed);
  madeSocket.store(socket, std::memory_order_release);
  return true;
}

void ClientNetwork::PauseBeforeRetry() {
  for (unsigned waited = 0; waited < kRetryPauseMs; waited += kPollMs) {
    if (stopping.load(std::memory_order_relaxed) || hurry.exchange(false)) return;
    platform::SleepMs(kPollMs);
  }
}

std::size_t ClientNetwork::Receive(std::uint8_t* buffer) {
  const UDTSOCKET made = madeSocket.exchange(UDT::INVALID_SOCK, std::memory_order_acquire);
  if (made != UDT::INVALID_SOCK) Adopt(made);
  if (!channel.open) return 0;
  const std::size_t whole = ReadRecords(channel, buffer, lastResult);
  if (!channel.open) Drop();
  return whole;
}

void ClientNetwork::PeerStarted() {
  if (channel.open) {
    if (SteadyNowMs() - adoptedAtMs < kGreetingGraceMs) return;
    LogMessage("The server has started again; connecting anew");
    channel.open = false;
    Store(connectionStatus, connection_status::kFailedOrClosed);
    Drop();
  }
  hurry.store(true, std::memory_order_relaxed);
}

void ClientNetwork::Adopt(UDTSOCKET socket) {
  {
    std::lock_guard<std::mutex> lock(channel.sendGuard);
    channel.socket = socket;
  }
  channel.fragmentSize = 0;
  channel.open = true;
  adoptedAtMs = SteadyNowMs();
  connectFailures.Reset();
  Store(connectionStatus, connection_status::kConnected);
  LogMessage("R UDP connected to " + peerAddress);
  // The reliable greeting carries the simulator time; the server ignores it.
  const double time = sharedState->aircraft->absoluteTime.load(std::memory_order_relaxed);
  Send(EncodeMessage(MakeMessage(kind::kGreeting, 0.0, time, 0.0)));
}

void ClientNetwork::Drop() {
  UDTSOCKET old = UDT::INVALID_SOCK;
  {
    std::lock_guard<std::mutex> lock(channel.sendGuard);
    old = channel.socket;
    channel.socket = UDT::INVALID_SOCK;
  }
  UDT::close(old);
  channel.fragmentSize = 0;
  wantConnection.store(true, std::memory_order_relaxed);
}
