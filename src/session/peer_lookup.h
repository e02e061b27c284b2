// Line 1 of SharedConfig.cfg names the other computer by its IPv4 address or
// by a host name (a dynamic-DNS name follows an address that changes).
// peerIpv4 holds the address every send goes to and the filter hears from;
// a name is looked up off the simulator's thread.
#pragma once

#include <cstdint>

// Puts line 1's address into peerIpv4 now, a plain address as it is, a name
// through the resolver; true when an address is known. A name's address is
// logged when it changes, a failed lookup once until the name resolves again.
bool ResolvePeer();
// The address to send to and hear from: peerIpv4, or line 1 itself when it is
// a plain address; 0 while a name is unresolved. Never waits.
std::uint32_t PeerIpv4();

// At role start: a plain address goes to peerIpv4 at once; a name is looked
// up on a thread of its own, again every 10 s until it resolves and every
// 5 minutes after that.
void StartPeerLookup();
void StopPeerLookup();
