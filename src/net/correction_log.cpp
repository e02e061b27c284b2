#include "net/correction_log.h"

#include "common/log.h"
#include "net/format_number.h"

CorrectionLog correctionLog;

void CorrectionLog::Tick(std::int64_t nowMs) {
  if (nowMs - windowStartMs_ < kWindowMs) return;
  if (unnamed_ > 0) {
    LogMessage("Corrected from peer: " + std::to_string(unnamed_) + " more values");
  }
  windowStartMs_ = nowMs;
  lines_ = 0;
  unnamed_ = 0;
}

void CorrectionLog::Note(const std::string& name, float value, std::int64_t nowMs) {
  total_.fetch_add(1, std::memory_order_relaxed);
  Tick(nowMs);
  if (lines_ < kLinesPerWindow) {
    ++lines_;
    LogMessage("Corrected from peer: " + name + " Value: " + FormatNumber(value));
  } else {
    ++unnamed_;
  }
}
