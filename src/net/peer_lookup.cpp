#include "net/peer_lookup.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "common/config_file.h"
#include "common/log.h"
#include "common/module_state.h"
#include "net/address_text.h"
#include "platform/platform.h"

namespace {

constexpr std::chrono::milliseconds kRetry{10000};
constexpr std::chrono::milliseconds kRefresh{300000};
// A stop waits this long for a lookup thread that is between lookups; one
// still inside the resolver is left behind instead.
constexpr std::chrono::milliseconds kStopWait{100};

// Shared by the lookup thread and the module, so that a thread left inside
// the resolver at a stop still has it when the resolver returns.
struct Lookup {
  std::mutex mutex;
  std::condition_variable wake;
  std::string name;
  bool stop = false;
  bool finished = false;
  bool failing = false;
  std::uint64_t requested = 0;
  std::uint64_t completed = 0;
};

std::mutex current_guard;
std::shared_ptr<Lookup> current;
std::thread current_thread;

// Takes one answer of the resolver into the session, unless it stopped.
bool Publish(Lookup& lookup, bool resolved, std::uint32_t address, const std::string& why) {
  std::lock_guard<std::mutex> lock(lookup.mutex);
  if (lookup.stop) return false;
  if (!resolved) {
    if (!lookup.failing) {
      LogMessage("SharedConfig.cfg line 1: the name \"" + lookup.name + "\" does not resolve (" +
                 why + "); trying again");
    }
    lookup.failing = true;
  } else {
    lookup.failing = false;
    if (roleState.resolvedPeerIpv4.exchange(address, std::memory_order_relaxed) != address) {
      LogMessage("SharedConfig.cfg line 1: " + lookup.name + " is " + AddressText(address));
    }
  }
  return true;
}

void RunLookup(const std::shared_ptr<Lookup>& lookup) {
  const bool socketsUp = platform::SocketsStartup() == 0;
  for (;;) {
    std::uint64_t serving = 0;
    {
      std::lock_guard<std::mutex> lock(lookup->mutex);
      serving = lookup->requested;
    }
    std::uint32_t address = 0;
    std::string why;
    const bool resolved = platform::ResolveIpv4(lookup->name.c_str(), &address, &why);
    // 0.0.0.0 would reach this very computer.
    const bool usable = resolved && address != 0;
    if (!Publish(*lookup, usable, address, resolved ? "no usable address" : why)) break;
    std::unique_lock<std::mutex> lock(lookup->mutex);
    lookup->completed = serving;
    lookup->wake.notify_all();
    if (lookup->wake.wait_for(lock, usable ? kRefresh : kRetry,
                              [&] { return lookup->stop || lookup->requested != serving; }) &&
        lookup->stop) {
      break;
    }
  }
  if (socketsUp) platform::SocketsCleanup();
  std::lock_guard<std::mutex> lock(lookup->mutex);
  lookup->finished = true;
  lookup->wake.notify_all();
}

}  // namespace

void StartPeerLookup() {
  StopPeerLookup();
  Store(roleState.resolvedPeerIpv4, 0u);
  if (ParsePeerAddress(roleSetup.peerAddress) || !IsHostName(roleSetup.peerAddress)) return;
  auto lookup = std::make_shared<Lookup>();
  lookup->name = roleSetup.peerAddress;
  std::lock_guard<std::mutex> lock(current_guard);
  try {
    current_thread = std::thread(RunLookup, lookup);
  } catch (const std::system_error&) {
    LogMessage("SharedConfig.cfg line 1: no thread to look up \"" + roleSetup.peerAddress + "\"");
    return;
  }
  current = std::move(lookup);
}

std::uint64_t RequestPeerLookup() {
  std::lock_guard<std::mutex> lock(current_guard);
  if (!current) return 0;
  std::lock_guard<std::mutex> inner(current->mutex);
  const std::uint64_t ticket = ++current->requested;
  current->wake.notify_all();
  return ticket;
}

bool PeerLookupDone(std::uint64_t ticket) {
  std::lock_guard<std::mutex> lock(current_guard);
  if (!current) return true;
  std::lock_guard<std::mutex> inner(current->mutex);
  return current->finished || current->completed >= ticket;
}

void StopPeerLookup() {
  std::lock_guard<std::mutex> lock(current_guard);
  if (!current) return;
  bool finished = false;
  {
    std::unique_lock<std::mutex> inner(current->mutex);
    current->stop = true;
    current->wake.notify_all();
    finished = current->wake.wait_for(inner, kStopWait, [&] { return current->finished; });
  }
  if (finished) {
    current_thread.join();
  } else {
    current_thread.detach();
  }
  current.reset();
}
