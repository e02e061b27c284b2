#include "net/client_network.h"

#include "module/globals.h"
#include "platform/platform.h"
#include "session/log.h"
#include "session/session_config.h"

ClientNetwork::ClientNetwork() {
  UDT::startup();
  LogMessage("R UDP start");
  channel.socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
  serverAddress.sin_family = AF_INET;
  serverAddress.sin_port = ReliablePortField();
  std::uint32_t address = 0;
  // Text that is no IPv4 address names no server; connecting to the zero
  // address would reach this machine instead.
  if (!platform::ParseAddress(peerAddress.c_str(), &address)) {
    Store(connectionStatus, 2);
    return;
  }
  serverAddress.sin_addr.s_addr = address;
  if (UDT::connect(channel.socket, reinterpret_cast<const sockaddr*>(&serverAddress),
                   sizeof serverAddress) == UDT::ERROR) {
    Store(connectionStatus, 2);
    return;
  }
  SetNoBlocking(channel.socket);
  SetTimeouts(channel.socket);
  channel.open = true;
  Store(connectionStatus, 1);
}

ClientNetwork::~ClientNetwork() { UDT::cleanup(); }
