// The "link" check, run on both computers at once: UDP on the datagram port in
// both directions, and a real UDT connection on the reliable channel's port in
// both directions, each with a verdict and the step that mends a failure.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct LinkSettings {
  std::string peerAddress;  // IPv4, dotted
  int basePort = 0;         // P, 1 to 65534
  std::chrono::seconds limit{30};
};

struct LinkResult {
  bool datagramIn = false;   // the peer's probes reached us on P + 1
  bool datagramOut = false;  // the peer says ours reached it
  bool reliableOut = false;  // our UDT connect to the peer succeeded
  bool reliableIn = false;   // the peer's UDT connect reached our listener
  std::string setupError;    // a port we could not bind, or empty
};

LinkResult RunLinkCheck(const LinkSettings& settings);

// The verdict lines: one per port and direction, with the fix for a failure.
std::vector<std::string> LinkVerdict(const LinkSettings& settings, const LinkResult& result);
