// The client's end of the reliable channel: one UDT connection to the
// server, made and remade by a thread of its own so that neither the
// simulator nor the role's loops ever wait for a connect.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "net/reliable_link.h"
#include "platform/platform.h"

class ClientNetwork {
 public:
  // Starts UDT and the connect thread; returns at once. The thread tries to
  // connect to peerAddress, and again kRetryPauseMs after each failure
  // (connectionStatus 2), until a connection is made or the endpoint goes.
  ClientNetwork();
  // Ends the connect thread, which takes until its current attempt returns
  // (UDT's connect cannot be interrupted), then stops UDT.
  virtual ~ClientNetwork();
  ClientNetwork(const ClientNetwork&) = delete;
  ClientNetwork& operator=(const ClientNetwork&) = delete;

  void Send(const MessageBytes& message) { SendRecord(channel, message); }
  // Receive thread only. Takes a connection the connect thread has made
  // (connectionStatus 1, the reliable greeting goes out), then reads as
  // ServerNetwork::ReceiveFromClient does; a connection found closed is
  // dropped and a new one is sought.
  std::size_t Receive(std::uint8_t* buffer);
  // Receive thread only: the server greeted us, so it has just started its
  // role. A connection we hold is then one the server has forgotten: it is
  // dropped at once rather than when UDT notices, and a connect is tried
  // without waiting out the pause.
  void PeerStarted();

  static constexpr unsigned kRetryPauseMs = 2000;

 private:
  static unsigned ConnectLoop(void* self);
  bool TryConnect();
  void PauseBeforeRetry();
  void Adopt(UDTSOCKET socket);
  void Drop();

  int lastResult = 0;
  ReliableLink channel;
  sockaddr_in serverAddress{};
  platform::ThreadHandle connectThread = platform::kNoThread;
  std::atomic<bool> stopping{false};
  // Set by the receive thread when a connection is wanted, cleared by the
  // connect thread when it hands one over.
  std::atomic<bool> wantConnection{true};
  std::atomic<bool> hurry{false};
  // A connection the connect thread made and the receive thread has not
  // taken yet.
  std::atomic<UDTSOCKET> madeSocket{UDT::INVALID_SOCK};
  // Receive thread only: when the held connection was taken.
  std::int64_t adoptedAtMs = 0;
};
