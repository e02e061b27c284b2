#include "net/datagram_socket.h"

#include <string>

#include "common/log.h"
#include "common/module_state.h"
#include "net/peer_address.h"

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
  // Without a peer and port the pilot named, a datagram could only reach some
  // other computer (the log has said what to mend).
  const auto peer = PeerIpv4();
  if (!peer || BasePortNumber() == 0) return;
  platform::SendTo(socket, data, length, *peer, port);
}

void CloseDatagramSocket(platform::Socket socket) { platform::CloseSocket(socket); }
