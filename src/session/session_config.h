// The peer settings of SharedConfig.cfg: line 1 the peer's IPv4 address or
// host name, line 2 the base port P. Both are kept as text and read at each
// use (net/peer_address.h). An optional line 3 reading exactly "any" lets
// records from every address in (for routers that rewrite the peer's
// address); without it only the peer's address is heard. An optional line 4
// reading exactly "no upnp" keeps the module from asking the router to open
// the ports.
#pragma once

// Logs the file's path, then reads its first two lines whole into
// peerAddress and basePort, logging each, line 3 into anySourceAllowed and
// line 4 into routerMappingAllowed.
// A missing file or documents folder leaves the first two as they were;
// anySourceAllowed is false unless line 3 says otherwise.
void ReadSessionConfig();
