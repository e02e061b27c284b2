#include "thread_cpu.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/role_loop.h"

namespace e2e_bench {
namespace fs = std::filesystem;

namespace {

// CPU time from "schedstat" (nanoseconds), or from "stat" (clock ticks) where
// the kernel keeps no scheduler statistics.
std::int64_t CpuNs(const fs::path& task) {
  std::ifstream schedstat(task / "schedstat");
  std::int64_t ns = 0;
  if (schedstat >> ns) return ns;
  std::ifstream stat(task / "stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  std::int64_t utime = 0, stime = 0;
  // Fields 3 to 13 precede utime (14) and stime (15).
  for (int i = 3; i <= 13; ++i) fields >> field;
  fields >> utime >> stime;
  return (utime + stime) * (1'000'000'000 / ::sysconf(_SC_CLK_TCK));
}

}  // namespace

std::map<pid_t, ThreadTime> ReadThreadTimes(pid_t pid) {
  std::map<pid_t, ThreadTime> threads;
  std::error_code error;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    ThreadTime time;
    std::ifstream comm(task.path() / "comm");
    std::getline(comm, time.name);
    time.cpuNs = CpuNs(task.path());
    threads[static_cast<pid_t>(std::stol(task.path().filename().string()))] = time;
  }
  return threads;
}

std::string ThreadKind(pid_t pid, pid_t tid, const std::string& name) {
  if (tid == pid) return "simulator";
  if (name == kSendThreadName) return "send";
  if (name == kReceiveThreadName) return "receive";
  return "udt";
}

std::map<std::string, double> CorePercentByKind(pid_t pid,
                                                const std::map<pid_t, ThreadTime>& before,
                                                const std::map<pid_t, ThreadTime>& after,
                                                std::int64_t wallNs) {
  std::map<std::string, double> percent{
      {"simulator", 0.0}, {"send", 0.0}, {"receive", 0.0}, {"udt", 0.0}};
  for (const auto& [tid, now] : after) {
    const auto then = before.find(tid);
    const std::int64_t start = then == before.end() ? 0 : then->second.cpuNs;
    percent[ThreadKind(pid, tid, now.name)] +=
        100.0 * static_cast<double>(now.cpuNs - start) / static_cast<double>(wallNs);
  }
  return percent;
}

}  // namespace e2e_bench
