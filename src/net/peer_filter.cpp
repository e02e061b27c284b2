#include "net/peer_filter.h"

#include "common/log.h"
#include "common/module_state.h"
#include "net/peer_address.h"

PeerFilter::PeerFilter() : any_(Load(roleSetup.anySourceAllowed)) {}

bool PeerFilter::Admits(std::uint32_t address, const char* what) {
  // Read anew: a host name on line 1 resolves, and may change, while the
  // session runs.
  if (any_) return true;
  const auto peer = PeerIpv4();
  if (peer && address == *peer) return true;
  Refuse(address, what);
  return false;
}

void PeerFilter::Refuse(std::uint32_t address, const char* what, const std::string& why) {
  if (logged_.size() >= kMaxLogged) return;
  if (!logged_.emplace(what, address).second) return;
  LogMessage(std::string("Refused ") + what + " from " + AddressText(address) + why);
}
