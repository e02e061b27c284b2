// The peer settings of SharedConfig.cfg: line 1 the peer's IPv4 address or
// host name, line 2 the base port P. Both are kept as text and read at each
// use (net/peer_address.h). The lines after line 2 are options, one a line
// in any order (common/config_file.h): "any" lets records from every address
// in (for routers that rewrite the peer's address; without it only the
// peer's address is heard), "no upnp" keeps the module from asking the
// router to open the ports, "close follow" eases the following aircraft
// toward the flying one's state projected to now.
#pragma once

// Logs the file's path, then reads its first two lines whole into
// peerAddress and basePort, logging each, and the options into
// anySourceAllowed, routerMappingAllowed, closeFollow and extensionAllowed.
// A missing file or documents folder leaves the first two as they were;
// the options are as without option lines.
void ReadSessionConfig();
