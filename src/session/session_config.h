// The peer settings of SharedConfig.cfg: line 1 the peer's IPv4 address,
// line 2 the base port P. Both are kept as text and converted at each use.
#pragma once

#include <cstdint>

// Logs the file's path, then reads its first two lines whole into
// peerAddress and basePort, logging each. A missing file or documents folder
// leaves both as they were.
void ReadSessionConfig();

// P: atoi of basePort (0 for text without leading digits).
int BasePortNumber();
// The datagram channel's port, P + 1.
std::uint16_t DatagramPort();
// The port field of the reliable channel's address: P in 16 bits, stored
// without conversion to network order (peers rely on the swapped bytes).
std::uint16_t ReliablePortField();
