// The module's side of UPnP: a thread of its own that opens the ports this
// instance receives on in the home router, renews the lease while the session
// runs and deletes the mappings at the end. The simulator's thread only starts
// and stops it.
#pragma once

#include <cstdint>
#include <vector>

// The ports the role receives on from the internet: the host its datagram
// port and the reliable channel's port, the guest its datagram port only
// (its reliable channel connects outward). Empty when P is unusable.
std::vector<std::uint16_t> RolePorts(bool host);

// Starts the mapping thread; returns at once. Nothing happens for no ports.
void StartRouterMapping(std::vector<std::uint16_t> ports);
// For programs that drive the module in this machine's own network (unit
// tests): the router is never asked, so no discovery leaves the machine.
void KeepRouterMappingOff();
// Wakes the thread and waits up to 100 ms for it to delete its mappings and
// end; a thread still in an exchange with the router then is left to finish
// alone (each exchange is bounded by miniupnpc's limits) and logs no more.
void StopRouterMapping();
