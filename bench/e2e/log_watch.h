// The module's log lines with the moment each appeared: the log itself
// carries no times, so a thread reads the file's new lines every millisecond.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e_bench {

class LogWatch {
 public:
  explicit LogWatch(std::string path);
  ~LogWatch();
  LogWatch(const LogWatch&) = delete;
  LogWatch& operator=(const LogWatch&) = delete;

  // Ends the watch after a last read; afterwards Lines() is complete.
  void Stop();
  // CLOCK_MONOTONIC at which the first line equal to `line` was seen.
  std::optional<std::int64_t> FirstSeen(const std::string& line) const;

 private:
  void Run();

  std::string path_;
  std::atomic<bool> stop_{false};
  std::vector<std::pair<std::int64_t, std::string>> lines_;
  std::thread thread_;
};

// CLOCK_MONOTONIC now, in nanoseconds: the clock of simhost's traces.
std::int64_t MonotonicNowNs();

}  // namespace e2e_bench
