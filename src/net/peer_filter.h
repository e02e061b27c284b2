// Who may drive this cockpit: only the peer named in SharedConfig.cfg, unless
// the file turns the check off (setups behind a router that rewrites the
// peer's address). Used by the receive thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "net/address_text.h"

class PeerFilter {
 public:
  // Takes anySourceAllowed as it is now (at role start); the peer's address
  // is read at each check.
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
  std::set<std::pair<std::string, std::uint32_t>> logged_;
};
