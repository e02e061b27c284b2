#include "session/router_mapping.h"

#include <atomic>
#include <chrono>

#include "common/config_file.h"
#include "common/log.h"
#include "common/stoppable_thread.h"
#include "net/peer_address.h"
#include "net/router_ports.h"
#include "platform/platform.h"

namespace {

// Routers answer discovery within a few hundred milliseconds; a short wait
// keeps the mapping early in the session, and nothing waits on it anyway.
constexpr std::chrono::milliseconds kDiscoveryWait{1500};
// A lease lets the router drop the ports by itself if this computer vanishes;
// renewing at half of it keeps them open while the session runs.
constexpr std::chrono::seconds kLease{3600};

StoppableThread mapper;
std::atomic<bool> mappingPermitted{true};

void RunMapping(StoppableThread& self, std::vector<std::uint16_t> ports) {
  const bool socketsUp = platform::SocketsStartup() == 0;
  RouterPorts router(std::move(ports), kDiscoveryWait, kLease);
  const RouterOutcome outcome = router.Open();
  for (const auto& line : outcome.lines) LogMessage(line);
  if (outcome.answer != RouterAnswer::kNoRouter) {
    // A failing renewal is logged once until one succeeds again, so a router
    // that stops answering cannot fill the log.
    bool failing = false;
    while (!self.WaitForStop(kLease / 2)) {
      const auto problems = router.Renew();
      if (!problems.empty() && !failing) {
        for (const auto& line : problems) LogMessage(line);
      } else if (problems.empty() && failing) {
        LogMessage("Router: lease renewed");
      }
      failing = !problems.empty();
    }
    const std::string closed = router.Close();
    if (!closed.empty()) LogMessage(closed);
  }
  if (socketsUp) platform::SocketsCleanup();
}

}  // namespace

std::vector<std::uint16_t> RolePorts(bool host) {
  const int base = BasePortNumber();
  if (base < 1 || base > 65534) return {};
  std::vector<std::uint16_t> ports{DatagramPort()};
  if (host) ports.push_back(ReliableWirePortOf(base));
  return ports;
}

void StartRouterMapping(std::vector<std::uint16_t> ports) {
  if (ports.empty() || !mappingPermitted.load(std::memory_order_relaxed)) return;
  if (!mapper.Start([ports](StoppableThread& self) { RunMapping(self, ports); })) {
    LogMessage("Router: no thread to open the ports; forward them in the router by hand");
  }
}

void KeepRouterMappingOff() { mappingPermitted.store(false, std::memory_order_relaxed); }

void StopRouterMapping() { mapper.Stop(); }
