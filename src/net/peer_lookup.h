// Line 1 of SharedConfig.cfg may name the other computer by a host name (a
// dynamic-DNS name follows an address that changes). The name is looked up
// on a thread of its own, never the simulator's, and the address found is
// what PeerIpv4() yields for a name.
#pragma once

#include <cstdint>

// At role start: for a host name on line 1, forgets the address of an earlier
// session and starts the lookup thread, which looks the name up at once,
// again every 10 s until it resolves and every 5 minutes after that. A plain
// address needs no lookup.
void StartPeerLookup();
// Asks the lookup thread to look the name up now (before a reconnect); the
// number to pass to PeerLookupDone.
std::uint64_t RequestPeerLookup();
// True once the lookup asked for by `ticket` has finished (or no lookup
// thread runs); never waits.
bool PeerLookupDone(std::uint64_t ticket);
// Ends the lookup without waiting for the system's resolver: a thread still
// inside it is left to finish by itself and then changes nothing.
void StopPeerLookup();
