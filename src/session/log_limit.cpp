#include "session/log_limit.h"

#include "session/log.h"

void LogLimit::Log(const std::string& text) {
  const std::int64_t now = SteadyNowMs();
  std::int64_t last = lastMs_.load(std::memory_order_relaxed);
  if (last != kNever && now - last < kPeriodMs) return;
  // Of threads that race here, one logs.
  if (!lastMs_.compare_exchange_strong(last, now, std::memory_order_relaxed)) return;
  LogMessage(text);
}
