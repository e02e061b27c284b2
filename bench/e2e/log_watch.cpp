#include "log_watch.h"

#include <time.h>

#include <chrono>
#include <fstream>

namespace e2e_bench {

std::int64_t MonotonicNowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

LogWatch::LogWatch(std::string path) : path_(std::move(path)) {
  thread_ = std::thread(&LogWatch::Run, this);
}

LogWatch::~LogWatch() { Stop(); }

void LogWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::optional<std::int64_t> LogWatch::FirstSeen(const std::string& line) const {
  for (const auto& [ns, text] : lines_) {
    if (text == line) return ns;
  }
  return std::nullopt;
}

void LogWatch::Run() {
  std::streamoff read = 0;
  std::string partial;
  for (bool last = false; !last;) {
    last = stop_;
    std::ifstream file(path_, std::ios::binary);
    if (file && file.seekg(read)) {
      const std::int64_t seen = MonotonicNowNs();
      std::string chunk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      read += static_cast<std::streamoff>(chunk.size());
      partial += chunk;
      for (auto end = partial.find('\n'); end != std::string::npos; end = partial.find('\n')) {
        std::string line = partial.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.emplace_back(seen, std::move(line));
        partial.erase(0, end + 1);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace e2e_bench
