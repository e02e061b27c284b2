// The client's end of the reliable channel: one UDT connection to the
// server, made (blocking) when the endpoint is built.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/reliable_link.h"

class ClientNetwork {
 public:
  // Starts UDT and connects to peerAddress; waits until the server answers
  // or UDT gives up. Sets connectionStatus 1 or 2.
  ClientNetwork();
  virtual ~ClientNetwork();
  ClientNetwork(const ClientNetwork&) = delete;
  ClientNetwork& operator=(const ClientNetwork&) = delete;

  void Send(const MessageBytes& message) { SendRecord(channel, message); }
  // As ServerNetwork::ReceiveFromClient, for the one connection.
  std::size_t Receive(std::uint8_t* buffer) { return ReadRecords(channel, buffer, lastResult); }

 private:
  int lastResult = 0;
  ReliableLink channel;
  sockaddr_in serverAddress{};
};
