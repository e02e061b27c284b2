// Names in the log each cockpit value that a batch from the peer (its
// snapshot, refresh or repeats) corrected: the first few of every ten
// seconds one by one, the rest as one count when the ten seconds are over.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CorrectionLog {
 public:
  // Receive thread only.
  void Note(const std::string& name, float value, std::int64_t nowMs);
  // Receive thread only: writes the count of the unnamed ones once their
  // window is over.
  void Tick(std::int64_t nowMs);
  // All corrections so far; any thread.
  std::uint64_t Total() const { return total_.load(std::memory_order_relaxed); }

  static constexpr int kLinesPerWindow = 10;
  static constexpr std::int64_t kWindowMs = 10000;

 private:
  std::int64_t windowStartMs_ = 0;
  int lines_ = 0;
  std::uint64_t unnamed_ = 0;
  std::atomic<std::uint64_t> total_{0};
};

extern CorrectionLog correctionLog;
