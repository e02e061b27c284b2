#include "net/client_network.h"

#include "common/config_file.h"
#include "common/log.h"
#include "common/log_limit.h"
#include "common/module_state.h"
#include "net/peer_address.h"
#include "net/peer_lookup.h"
#include "net/peer_talk.h"
#include "net/udt_pace.h"

namespace {

// Every failed attempt, while the server is away, would be a line.
LogLimit connectFailures;
// A stranger may send greetings from the server's address all the time.
LogLimit keptLinks;

// UDT's own words for an attempt that nobody answered, or that was refused.
std::string TimedOutText() { return UDT::ERRORINFO(1, 1, 0).getErrorMessage(); }
std::string RejectedText() { return UDT::ERRORINFO(1, 2, 0).getErrorMessage(); }

// The acknowledgements UDT has received on `socket`, or -1 when it cannot tell.
std::int64_t AcksReceived(UDTSOCKET socket) {
  UDT::TRACEINFO info{};
  if (UDT::perfmon(socket, &info, false) == UDT::ERROR) return -1;
  return info.pktRecvACKTotal;
}

}  // namespace

ClientNetwork::ClientNetwork() {
  UDT::startup();
  LogMessage("R UDP start");
  serverAddress.sin_family = AF_INET;
  serverAddress.sin_port = ReliablePortField();
  // Without an address or name and a port from SharedConfig.cfg there is no
  // server to reach (the configuration's check has said so).
  if ((!ParsePeerAddress(roleSetup.peerAddress) && !IsHostName(roleSetup.peerAddress)) ||
      BasePortNumber() == 0) {
    Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
    return;
  }
  connectThread = platform::StartJoinableThread(ConnectLoop, this);
  if (connectThread == platform::kNoThread) {
    LogMessage("R UDP: no thread to connect with; the reliable channel stays down");
    Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
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

bool ClientNetwork::TryConnect() {
  AwaitPeerLookup();
  const auto peer = PeerIpv4();
  if (!peer) {
    // A name not resolved yet: the lookup has logged why.
    if (!stopping.load(std::memory_order_relaxed)) {
      Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
    }
    return false;
  }
  serverAddress.sin_addr.s_addr = *peer;
  const UDTSOCKET socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
  // UDT's connect blocks until the server answers or 3 s pass; without
  // blocking, a stop need not wait for that.
  SetNoBlocking(socket);
  UseKeptSlowStart(socket);
  std::string why;
  if (!AwaitConnect(socket, why)) {
    UDT::close(socket);
    if (stopping.load(std::memory_order_relaxed)) return false;
    connectFailures.Log("R UDP connect to " + roleSetup.peerAddress + " (UDP port " +
                        std::to_string(ntohs(serverAddress.sin_port)) + ") failed: " + why +
                        "; trying again every " + std::to_string(kRetryPauseMs / 1000) + " s");
    Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
    return false;
  }
  SetTimeouts(socket);
  // Cleared before the hand-over, so that a loss the receive thread reports
  // for this connection is not overwritten.
  wantConnection.store(false, std::memory_order_relaxed);
  madeSocket.store(socket, std::memory_order_release);
  return true;
}

void ClientNetwork::AwaitPeerLookup() {
  // A dynamic-DNS name is looked up again before every attempt, since the
  // server's address may have changed while the link was down; the wait is
  // bounded and a stop cuts it short.
  const std::uint64_t ticket = RequestPeerLookup();
  const std::int64_t deadline = SteadyNowMs() + kLookupLimitMs;
  while (!PeerLookupDone(ticket) && !stopping.load(std::memory_order_relaxed) &&
         SteadyNowMs() < deadline) {
    platform::SleepMs(kPollMs);
  }
}

bool ClientNetwork::AwaitConnect(UDTSOCKET socket, std::string& why) {
  if (UDT::connect(socket, reinterpret_cast<const sockaddr*>(&serverAddress),
                   sizeof serverAddress) == UDT::ERROR) {
    why = UDT::getlasterror().getErrorMessage();
    return false;
  }
  const std::int64_t deadline = SteadyNowMs() + kConnectLimitMs;
  while (!stopping.load(std::memory_order_relaxed)) {
    const UDTSTATUS state = UDT::getsockstate(socket);
    if (state == CONNECTED) return true;
    if (state != CONNECTING) {
      why = RejectedText();
      return false;
    }
    if (SteadyNowMs() >= deadline) {
      why = TimedOutText();
      return false;
    }
    platform::SleepMs(kPollMs);
  }
  return false;
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
  if (!channel.open) {
    Drop();
  } else if (checkStartedMs != 0 && SteadyNowMs() - checkStartedMs >= kLinkCheckMs) {
    FinishLinkCheck();
  }
  return whole;
}

void ClientNetwork::PeerStarted() {
  if (!channel.open) {
    hurry.store(true, std::memory_order_relaxed);
    return;
  }
  if (checkStartedMs != 0) return;
  acksBeforeCheck = AcksReceived(channel.socket);
  checkStartedMs = SteadyNowMs();
  Send(GreetingRecord());
}

void ClientNetwork::FinishLinkCheck() {
  checkStartedMs = 0;
  const std::int64_t acks = AcksReceived(channel.socket);
  if (acks > acksBeforeCheck) {
    keptLinks.Log("A greeting came from " + roleSetup.peerAddress +
                  " while the reliable link answers; the link is kept");
    return;
  }
  LogMessage("The server has started again; connecting anew");
  channel.open = false;
  Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
  Drop();
  hurry.store(true, std::memory_order_relaxed);
}

void ClientNetwork::Adopt(UDTSOCKET socket) {
  // The hello, then the greeting, go out before any other thread can send on
  // the connection: the server's gate takes a connection only when its first
  // record is one of them, and a server that speaks only the protocol skips
  // the hello.
  ReliableLink opening;
  opening.socket = socket;
  peerTalk.NewConnection(
      [&opening](const std::uint8_t* data, std::size_t size) { SendRecords(opening, data, size); },
      SteadyNowMs());
  SendRecord(opening, GreetingRecord());
  {
    std::lock_guard<std::mutex> lock(channel.sendGuard);
    channel.socket = socket;
    channel.held.clear();
  }
  channel.fragmentSize = 0;
  channel.open = true;
  checkStartedMs = 0;
  connectFailures.Reset();
  Store(linkState.connectionStatus, connection_status::kConnected);
  linkState.connectionGeneration.fetch_add(1, std::memory_order_relaxed);
  LogMessage("R UDP connected to " + roleSetup.peerAddress);
}

// The reliable greeting carries the simulator time; the server ignores it.
MessageBytes ClientNetwork::GreetingRecord() {
  const double time = simThread.sharedState->aircraft->absoluteTime.load(std::memory_order_relaxed);
  return EncodeMessage(MakeMessage(kind::kGreeting, 0.0, time, 0.0));
}

void ClientNetwork::Drop() {
  UDTSOCKET old = UDT::INVALID_SOCK;
  {
    std::lock_guard<std::mutex> lock(channel.sendGuard);
    old = channel.socket;
    channel.socket = UDT::INVALID_SOCK;
    channel.held.clear();
  }
  UDT::close(old);
  channel.fragmentSize = 0;
  checkStartedMs = 0;
  wantConnection.store(true, std::memory_order_relaxed);
}
