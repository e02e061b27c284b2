#include "session/peer_lookup.h"

#include <chrono>
#include <mutex>
#include <string>

#include "module/globals.h"
#include "net/address_text.h"
#include "platform/platform.h"
#include "session/config_file.h"
#include "session/log.h"
#include "session/stoppable_thread.h"

namespace {

constexpr std::chrono::milliseconds kRetry{10000};
constexpr std::chrono::milliseconds kRefresh{300000};

StoppableThread lookup;
// The lookup thread and the client's connect thread both resolve.
std::mutex resolveGuard;
bool failing = false;

void RunLookup(StoppableThread& self) {
  const bool socketsUp = platform::SocketsStartup() == 0;
  while (!self.WaitForStop(ResolvePeer() ? kRefresh : kRetry)) {
  }
  if (socketsUp) platform::SocketsCleanup();
}

}  // namespace

bool ResolvePeer() {
  std::uint32_t address = 0;
  if (platform::ParseAddress(peerAddress.c_str(), &address)) {
    Store(peerIpv4, address);
    return true;
  }
  if (!IsHostName(peerAddress)) return false;
  std::lock_guard<std::mutex> lock(resolveGuard);
  std::string why;
  if (!platform::ResolveIpv4(peerAddress.c_str(), &address, &why)) {
    if (!failing) {
      LogMessage("SharedConfig.cfg line 1: the name \"" + peerAddress + "\" does not resolve (" +
                 why + "); trying again");
    }
    failing = true;
    return Load(peerIpv4) != 0;
  }
  failing = false;
  if (peerIpv4.exchange(address, std::memory_order_relaxed) != address) {
    LogMessage("SharedConfig.cfg line 1: " + peerAddress + " is " + AddressText(address));
  }
  return true;
}

std::uint32_t PeerIpv4() {
  const std::uint32_t known = Load(peerIpv4);
  if (known != 0) return known;
  std::uint32_t address = 0;
  return platform::ParseAddress(peerAddress.c_str(), &address) ? address : 0;
}

void StartPeerLookup() {
  Store(peerIpv4, 0u);
  {
    std::lock_guard<std::mutex> lock(resolveGuard);
    failing = false;
  }
  std::uint32_t address = 0;
  if (platform::ParseAddress(peerAddress.c_str(), &address)) {
    Store(peerIpv4, address);
    return;
  }
  if (!IsHostName(peerAddress)) return;
  if (!lookup.Start(RunLookup)) {
    LogMessage("SharedConfig.cfg line 1: no thread to look up \"" + peerAddress + "\"");
  }
}

void StopPeerLookup() { lookup.Stop(); }
