#include "net/peer_address.h"

#include "common/config_file.h"
#include "common/module_state.h"

std::optional<std::uint32_t> PeerIpv4() {
  if (const auto plain = ParsePeerAddress(roleSetup.peerAddress)) return plain;
  if (!IsHostName(roleSetup.peerAddress)) return std::nullopt;
  const std::uint32_t resolved = Load(roleState.resolvedPeerIpv4);
  if (resolved == 0) return std::nullopt;
  return resolved;
}

int BasePortNumber() { return PortNumberOf(roleSetup.basePort); }

std::uint16_t DatagramPort() { return DatagramPortOf(BasePortNumber()); }

std::uint16_t ReliablePortField() { return static_cast<std::uint16_t>(BasePortNumber()); }
