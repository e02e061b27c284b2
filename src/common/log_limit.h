// Log lines that may repeat without bound. A failed send or connect reaches
// the log the first time and then at most once a minute (LogLimit); lines
// that input decides on, one per value applied, are capped by rate and
// counted (LogRateCap).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

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

// Lines of one kind that the peer's traffic (or anyone's) could repeat as
// fast as it likes: each goes to the log while an allowance lasts (a burst
// of kBurst lines, refilled at kPerSecond lines a second), so that an
// ordinary session logs every one and a flood adds a few MB an hour at most.
// Lines left out are counted and named in one summary line at most once a
// second: "... and N <what>". One thread uses an instance at a time.
class LogRateCap {
 public:
  // `what` ends the summary line, as in "more values applied".
  explicit LogRateCap(std::string what) : what_(std::move(what)) {}
  // The count of lines left out must reach the log even when input stops
  // for good (a stop, a flood that ends).
  ~LogRateCap() { Summarise(SteadyNowMs(), true); }
  LogRateCap(const LogRateCap&) = delete;
  LogRateCap& operator=(const LogRateCap&) = delete;

  // Logs `text` while the allowance lasts, else counts it as left out.
  void Log(const std::string& text, std::int64_t nowMs = SteadyNowMs());
  // Logs the summary of the lines left out once a second has passed since
  // the first of them, or at once when `now` is set.
  void Summarise(std::int64_t nowMs = SteadyNowMs(), bool now = false);

  static constexpr std::int64_t kBurst = 200;
  static constexpr std::int64_t kPerSecond = 4;

 private:
  // The allowance in thousandths of a line, so that a refill of kPerSecond
  // lines a second is a whole number per millisecond.
  static constexpr std::int64_t kLine = 1000;
  static constexpr std::int64_t kNever = INT64_MIN;

  std::string what_;
  std::int64_t allowance_ = kBurst * kLine;
  std::int64_t refilledMs_ = kNever;
  std::int64_t leftOut_ = 0;
  std::int64_t firstLeftOutMs_ = 0;
};
