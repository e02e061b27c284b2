// Where the peer is and which ports the two channels use, as
// SharedConfig.cfg's first two lines (kept as text in roleSetup) say.
#pragma once

#include <cstdint>
#include <optional>

// The peer's IPv4 address (network order) that line 1 names, or nothing when
// it names none: the one reading of peerAddress that the peer filter, the
// reliable connect and every datagram send use. A plain address is read as
// it is; a host name yields the address its lookup last found, nothing while
// it has found none. Never waits.
std::optional<std::uint32_t> PeerIpv4();
// P: the number of basePort, 0 when it is no port number from 1 to 65534.
int BasePortNumber();
// The datagram channel's port, P + 1.
std::uint16_t DatagramPort();
// The port field of the reliable channel's address: P in 16 bits, stored
// without conversion to network order (peers rely on the swapped bytes).
std::uint16_t ReliablePortField();
