// Who may drive this cockpit: only the peer named in SharedConfig.cfg, unless
// the file turns the check off (setups behind a router that rewrites the
// peer's address). Used by the receive thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

// The dotted text of an IPv4 address in network order ("198.18.0.1").
std::string AddressText(std::uint32_t networkOrderAddress);

class PeerFilter {
 public:
  // Takes peerAddress and anySourceAllowed as they are now (at role start).
  PeerFilter();

  // True when records from `address` (network order) may be applied. A
  // refused address is logged the first time it is refused for `what`.
  bool Admits(std::uint32_t address, const char* what);
  // Logs "Refused <what> from <address><why>" once per address and `what`.
  void Refuse(std::uint32_t address, const char* what, const std::string& why = std::string());

 private:
  // A stranger may send from many addresses; past this many, refusals are
  // still made but no longer logged.
  static constexpr std::size_t kMaxLogged = 64;

  bool any_ = false;
  bool peerKnown_ = false;
  std::uint32_t peer_ = 0;
  std::set<std::pair<std::string, std::uint32_t>> logged_;
};
