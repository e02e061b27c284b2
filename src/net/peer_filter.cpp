#include "net/peer_filter.h"

#include "module/globals.h"
#include "session/log.h"
#include "session/session_config.h"

std::string AddressText(std::uint32_t networkOrderAddress) {
  // Network order keeps the first byte of the dotted text first in memory.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&networkOrderAddress);
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

PeerFilter::PeerFilter() : any_(Load(anySourceAllowed)) {
  if (const auto peer = PeerIpv4()) {
    peerKnown_ = true;
    peer_ = *peer;
  }
}

bool PeerFilter::Admits(std::uint32_t address, const char* what) {
  if (any_ || (peerKnown_ && address == peer_)) return true;
  Refuse(address, what);
  return false;
}

void PeerFilter::Refuse(std::uint32_t address, const char* what, const std::string& why) {
  if (logged_.size() >= kMaxLogged) return;
  if (!logged_.emplace(what, address).second) return;
  LogMessage(std::string("Refused ") + what + " from " + AddressText(address) + why);
}
