#include "sleep_floor.h"

#include <time.h>

#include <chrono>
#include <thread>

#include "net/role_loop.h"
#include "platform/platform.h"

namespace e2e_bench {

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Sleeps `pauseMs` at a time, as a loop with an empty pass does, and gives
// its own CPU in percent of one core.
void SleepLoop(unsigned pauseMs, double seconds, double* percent) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  while (std::chrono::steady_clock::now() < end) platform::SleepMs(pauseMs);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *percent = 100.0 * (ThreadCpuSeconds() - cpuStart) / wall;
}

}  // namespace

nlohmann::json MeasureSleepFloor(double seconds) {
  double send = 0.0;
  double receive = 0.0;
  std::thread sendPauses(SleepLoop, kSendPauseMs, seconds, &send);
  std::thread receivePauses(SleepLoop, kReceivePauseMs, seconds, &receive);
  sendPauses.join();
  receivePauses.join();
  return {{"send_pause_alone", send},
          {"receive_pause_alone", receive},
          {"both", send + receive},
          {"seconds", seconds},
          {"unit", "percent of one core"}};
}

}  // namespace e2e_bench
