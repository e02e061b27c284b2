// The client's end of the reliable channel: one UDT connection to the
// server, made and remade by a thread of its own so that neither the
// simulator nor the role's loops ever wait for a connect.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/reliable_link.h"
#include "platform/platform.h"

class ClientNetwork {
 public:
  // Starts UDT and the connect thread; returns at once. The thread tries to
  // connect to the configured peer, and again kRetryPauseMs after each
  // failure (connectionStatus 2), until a connection is made or the endpoint
  // goes.
  ClientNetwork();
  // Ends the connect thread within one poll (kPollMs), abandoning an attempt
  // in progress, then stops UDT.
  virtual ~ClientNetwork();
  ClientNetwork(const ClientNetwork&) = delete;
  ClientNetwork& operator=(const ClientNetwork&) = delete;

  void Send(const MessageBytes& message) { SendRecord(channel, message); }
  void SendBytes(const std::uint8_t* records, std::size_t size) {
    SendRecords(channel, records, size);
  }
  void SendHeld() { ::SendHeld(channel); }
  bool HasUnsent() { return ::HasUnsent(channel); }
  // Receive thread only. Takes a connection the connect thread has made
  // (connectionStatus 1, the reliable greeting goes out), then reads as
  // ServerNetwork::ReceiveFromClient does; a connection found closed is
  // dropped and a new one is sought. Ends a link check whose time is up.
  std::size_t Receive(std::uint8_t* buffer);
  // Receive thread only: a greeting datagram came from the server's address,
  // so the server may have started its role again and forgotten the
  // connection we hold. One datagram proves nothing (anyone can send it), so
  // the held connection is checked instead: a reliable greeting goes out on
  // it, and only when the server's UDT acknowledges nothing within
  // kLinkCheckMs is it dropped for a new one. Without a connection, a
  // connect is tried without waiting out the pause.
  void PeerStarted();

  static constexpr unsigned kRetryPauseMs = 2000;
  static constexpr unsigned kPollMs = 20;
  // An attempt is given up after this long, before UDT's own limit of 3 s:
  // past that limit UDT still reports a non-blocking socket as connecting, so
  // only this limit ends the attempt.
  static constexpr std::int64_t kConnectLimitMs = 2500;
  // A live server's UDT acknowledges within a few round trips, even with
  // some loss.
  static constexpr std::int64_t kLinkCheckMs = 1000;
  // The longest a reconnect waits for a fresh lookup of line 1's host name;
  // past it the address the last lookup found is used.
  static constexpr std::int64_t kLookupLimitMs = 5000;

 private:
  static unsigned ConnectLoop(void* self);
  bool TryConnect();
  // Has line 1's host name looked up again before an attempt.
  void AwaitPeerLookup();
  // Waits for UDT's connect in the background: true once connected; false
  // when it failed, timed out or the endpoint is going, with `why` filled
  // for a failure worth telling.
  bool AwaitConnect(UDTSOCKET socket, std::string& why);
  void PauseBeforeRetry();
  void Adopt(UDTSOCKET socket);
  static MessageBytes GreetingRecord();
  void FinishLinkCheck();
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
  // Receive thread only: the link check under way (its start, 0 for none)
  // and the count of acknowledgements UDT had received when it began.
  std::int64_t checkStartedMs = 0;
  std::int64_t acksBeforeCheck = 0;
};
