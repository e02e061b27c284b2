// The peer settings of SharedConfig.cfg: line 1 the peer's IPv4 address or
// host name, line 2 the base port P. Both are kept as text and converted at each use.
// An optional line 3 reading exactly "any" lets records from every address
// in (for routers that rewrite the peer's address); without it only the
// peer's address is heard. An optional line 4 reading exactly "no upnp" keeps
// the module from asking the router to open the ports.
#pragma once

#include <cstdint>
#include <optional>

// Logs the file's path, then reads its first two lines whole into
// peerAddress and basePort, logging each, line 3 into anySourceAllowed and
// line 4 into routerMappingAllowed.
// A missing file or documents folder leaves the first two as they were;
// anySourceAllowed is false unless line 3 says otherwise.
void ReadSessionConfig();

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
