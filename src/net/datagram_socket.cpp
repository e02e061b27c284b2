#include "net/datagram_socket.h"

#include <string>

#include "module/globals.h"
#include "session/log.h"

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
  const std::uint32_t address = platform::ParseDottedAddress(peerAddress.c_str());
  platform::SendTo(socket, data, length, address, port);
}

void CloseDatagramSocket(platform::Socket socket) { platform::CloseSocket(socket); }
