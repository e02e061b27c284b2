// A log line that may repeat many times a second (a failed send, a failed
// connect) reaches the log the first time and then at most once a minute.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// Milliseconds of the steady clock, for spans of time within this run.
inline std::int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class LogLimit {
 public:
  // Logs `text` when the first line or a minute has passed since the last
  // one let through; safe from any thread.
  void Log(const std::string& text);
  // The next line goes through at once (a new connection, a new failure).
  void Reset() { lastMs_.store(kNever, std::memory_order_relaxed); }

 private:
  static constexpr std::int64_t kNever = INT64_MIN;
  static constexpr std::int64_t kPeriodMs = 60000;
  std::atomic<std::int64_t> lastMs_{kNever};
};
