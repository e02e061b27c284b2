// The stand-in simulator's trace: one JSON object per line for everything the
// simulator sees happen, so that tests and tools can follow a run.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "host_os.h"

namespace standin {

class Trace {
 public:
  // Opens (truncates) the file; IsOpen() tells whether that worked. "t" of
  // every record counts from startNs (MonotonicNs()).
  Trace(const std::string& path, std::int64_t startNs);
  bool IsOpen() const { return out_.is_open() && out_.good(); }

  // Writes {"t", "mono_ns", "type", ...fields} as one line and flushes it.
  // Safe from any thread.
  void Write(const char* type, nlohmann::json fields);

 private:
  std::mutex mutex_;
  std::ofstream out_;
  std::int64_t startNs_;
};

}  // namespace standin
