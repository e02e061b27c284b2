#include "net/datagram_socket.h"

#include <string>

#include "module/globals.h"
#include "session/log.h"
#include "session/peer_lookup.h"

void OpenDatagramSocket(platform::Socket& slot) {
  slot = platform::OpenUdpSocket();
  if (slot == platform::kInvalidSocket) {
    LogMessage("Error opening socket");
    return;
  }
  platform::SetReuseAddress(slot);
  platform::SetNonBlocking(slot);
}

void BindDatagramSocket(platform::Socket socket, std::uint16_t port) {
  if (const int error = platform::BindAnyAddress(socket, port); error != 0) {
    LogMessage(" Bind failed" + std::to_string(error));
  }
}

void SendDatagram(platform::Socket socket, const void* data, std::uint16_t port,
                  std::size_t length) {
  // Until line 1's name resolves there is nowhere to send to.
  const std::uint32_t address = PeerIpv4();
  if (address != 0) platform::SendTo(socket, data, length, address, port);
}

void CloseDatagramSocket(platform::Socket socket) { platform::CloseSocket(socket); }
