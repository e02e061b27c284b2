#include "session/router_mapping.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "common/config_file.h"
#include "common/log.h"
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
// A stop waits this long for the mappings to be deleted; a router slower than
// that is left to the thread, which deletes them in the background.
constexpr std::chrono::milliseconds kStopWait{100};
// How long a new session's thread waits for one left behind by the last stop
// to finish with the same ports, so that its late deletes cannot undo the
// new mappings. Bounded by miniupnpc's limits for the exchanges under way.
constexpr std::chrono::seconds kPreviousWait{30};

// Shared by one mapping thread and the module, so that a thread left inside
// an exchange with the router at a stop still has it when the exchange ends.
struct Run {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool finished = false;
  // The stop stopped waiting: the thread logs nothing more, since its lines
  // would come after the session's end.
  bool leftBehind = false;
};

std::mutex runGuard;
std::shared_ptr<Run> current;
std::thread currentThread;
std::shared_ptr<Run> leftBehind;
std::atomic<bool> mappingPermitted{true};

void Say(Run& run, const std::string& line) {
  std::lock_guard<std::mutex> lock(run.mutex);
  if (!run.leftBehind) LogMessage(line);
}

// Sleeps up to `time`; true when a stop was asked for.
bool WaitForStop(Run& run, std::chrono::milliseconds time) {
  std::unique_lock<std::mutex> lock(run.mutex);
  return run.wake.wait_for(lock, time, [&] { return run.stop; });
}

void WaitForEnd(Run& run, std::chrono::milliseconds time) {
  std::unique_lock<std::mutex> lock(run.mutex);
  run.wake.wait_for(lock, time, [&] { return run.finished; });
}

void MapPorts(Run& run, std::vector<std::uint16_t> ports) {
  RouterPorts router(std::move(ports), kDiscoveryWait, kLease);
  const RouterOutcome outcome = router.Open();
  for (const auto& line : outcome.lines) Say(run, line);
  if (outcome.answer == RouterAnswer::kNoRouter) return;
  // A failing renewal is logged once until one succeeds again, so a router
  // that stops answering cannot fill the log.
  bool failing = false;
  while (!WaitForStop(run, kLease / 2)) {
    const auto problems = router.Renew();
    if (!problems.empty() && !failing) {
      for (const auto& line : problems) Say(run, line);
    } else if (problems.empty() && failing) {
      Say(run, "Router: lease renewed");
    }
    failing = !problems.empty();
  }
  const std::string closed = router.Close();
  if (!closed.empty()) Say(run, closed);
}

void RunMapping(std::shared_ptr<Run> run, std::shared_ptr<Run> before,
                std::vector<std::uint16_t> ports) {
  if (before) WaitForEnd(*before, kPreviousWait);
  before.reset();
  const bool socketsUp = platform::SocketsStartup() == 0;
  if (!WaitForStop(*run, std::chrono::milliseconds(0))) MapPorts(*run, std::move(ports));
  if (socketsUp) platform::SocketsCleanup();
  std::lock_guard<std::mutex> lock(run->mutex);
  run->finished = true;
  run->wake.notify_all();
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
  std::lock_guard<std::mutex> guard(runGuard);
  if (current) return;
  auto run = std::make_shared<Run>();
  try {
    currentThread = std::thread(RunMapping, run, leftBehind, std::move(ports));
  } catch (const std::system_error&) {
    LogMessage("Router: no thread to open the ports; forward them in the router by hand");
    return;
  }
  current = std::move(run);
}

void KeepRouterMappingOff() { mappingPermitted.store(false, std::memory_order_relaxed); }

void StopRouterMapping() {
  std::lock_guard<std::mutex> guard(runGuard);
  if (!current) return;
  bool finished = false;
  {
    std::unique_lock<std::mutex> lock(current->mutex);
    current->stop = true;
    current->wake.notify_all();
    finished = current->wake.wait_for(lock, kStopWait, [&] { return current->finished; });
    current->leftBehind = !finished;
  }
  if (finished) {
    currentThread.join();
    if (leftBehind) {
      std::lock_guard<std::mutex> lock(leftBehind->mutex);
      if (leftBehind->finished) leftBehind.reset();
    }
  } else {
    LogMessage(
        "Router: no answer from the router within the stop; the mappings are deleted in the "
        "background, or end with their lease");
    currentThread.detach();
    leftBehind = current;
  }
  current.reset();
}
