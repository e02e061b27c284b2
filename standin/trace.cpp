#include "trace.h"

namespace standin {

Trace::Trace(const std::string& path, std::int64_t startNs)
    : out_(path, std::ios::trunc), startNs_(startNs) {}

void Trace::Write(const char* type, nlohmann::json fields) {
  const std::int64_t now = MonotonicNs();
  nlohmann::json record = {
      {"t", static_cast<double>(now - startNs_) / 1e9}, {"mono_ns", now}, {"type", type}};
  record.update(fields);
  const std::string line = record.dump() + '\n';
  std::lock_guard lock(mutex_);
  out_ << line;
  out_.flush();
}

}  // namespace standin
