#include "common/log_limit.h"

#include <algorithm>

#include "common/log.h"

void LogLimit::Log(const std::string& text) {
  const std::int64_t now = SteadyNowMs();
  std::int64_t last = lastMs_.load(std::memory_order_relaxed);
  if (last != kNever && now - last < kPeriodMs) return;
  // Of threads that race here, one logs.
  if (!lastMs_.compare_exchange_strong(last, now, std::memory_order_relaxed)) return;
  LogMessage(text);
}

void LogRateCap::Log(const std::string& text, std::int64_t nowMs) {
  Summarise(nowMs);
  if (refilledMs_ == kNever) refilledMs_ = nowMs;
  if (nowMs > refilledMs_) {
    // Capped before multiplying: a long silence must not overflow.
    const std::int64_t elapsed = std::min(nowMs - refilledMs_, kBurst * kLine);
    allowance_ = std::min(allowance_ + elapsed * kPerSecond, kBurst * kLine);
    refilledMs_ = nowMs;
  }
  if (allowance_ >= kLine) {
    allowance_ -= kLine;
    LogMessage(text);
    return;
  }
  if (leftOut_++ == 0) firstLeftOutMs_ = nowMs;
}

void LogRateCap::Summarise(std::int64_t nowMs, bool now) {
  if (leftOut_ == 0 || (!now && nowMs - firstLeftOutMs_ < 1000)) return;
  LogMessage("... and " + std::to_string(leftOut_) + " " + what_);
  leftOut_ = 0;
}
