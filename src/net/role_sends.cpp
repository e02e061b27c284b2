#include "net/role_sends.h"

#include "net/datagram_socket.h"
#include "net/peer_address.h"

void SendGreetingDatagram(platform::Socket socket, std::uint16_t port) {
  const std::array<std::uint8_t, kGreetingDatagramSize> greeting{};
  SendDatagram(socket, greeting.data(), port, greeting.size());
}

void SendVarDatagramOn(platform::Socket socket, double index, double value, double extra) {
  const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, index, value, extra));
  SendDatagram(socket, bytes.data(), DatagramPort(), bytes.size());
}

void SendVarDatagramsOn(platform::Socket socket, const std::uint8_t* records, std::size_t size) {
  SendDatagram(socket, records, DatagramPort(), size);
}

void SendStateDatagramOn(platform::Socket socket, AircraftStateRecord record) {
  record.kind = kind::kAircraftState;
  const StateBytes bytes = EncodeState(record);
  SendDatagram(socket, bytes.data(), DatagramPort(), bytes.size());
}
