#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <optional>
#include <thread>

#include "demo_monitor.h"
#include "demo_monitor_trace.h"

namespace {

constexpr std::uint32_t kDefinitionLatitude = 31;

// A file that another process is still appending to: each call returns the
// lines completed since the last one.
class FollowedFile {
 public:
  explicit FollowedFile(std::string path) : path_(std::move(path)) {}

  std::vector<std::string> ReadNewLines() {
    std::vector<std::string> lines;
    if (!file_.is_open()) {
      file_.open(path_);
      if (!file_.is_open()) return lines;
    }
    std::string line;
    while (std::getline(file_, line)) {
      if (file_.eof()) {  // no line end yet: the writer is in the middle of it
        partial_ += line;
        break;
      }
      lines.push_back(partial_ + line);
      partial_.clear();
    }
    file_.clear();
    return lines;
  }

 private:
  std::string path_;
  std::ifstream file_;
  std::string partial_;
};

struct Sample {
  std::int64_t monoNs;
  trace::Aircraft aircraft;
};

// What one side's trace and log have shown so far.
struct SideStatus {
  double scriptSeconds = -1.0;  // "t" of the newest record: that simulator's script time
  double linkState = -1.0;      // last "MP_STS" the module wrote
  double follower = -1.0;       // last "MP_CONN" the module wrote: 0 flies, 1 follows
  std::vector<Sample> samples;
  std::deque<std::int64_t> easedNs;  // eased frames of the followed aircraft
  int appliedValues = 0;             // shared-variable values applied from the peer

  void Take(const trace::Record& record) {
    scriptSeconds = record.t;
    if (const auto* w = std::get_if<trace::LvarWrite>(&record.body)) {
      if (w->by != trace::By::kModule) return;
      if (w->name == "MP_STS") linkState = w->value;
      if (w->name == "MP_CONN") follower = w->value;
    } else if (const auto* s = std::get_if<trace::SetData>(&record.body)) {
      // One eased frame writes many definitions; its latitude counts it once.
      if (s->definition == kDefinitionLatitude) easedNs.push_back(record.monoNs);
    } else if (const auto* a = std::get_if<trace::Aircraft>(&record.body)) {
      samples.push_back({record.monoNs, *a});
    }
  }

  void TakeLogLine(const std::string& line) { appliedValues += trace::AppliedValuesIn(line); }

  std::size_t EasedSince(std::int64_t ns) {
    while (!easedNs.empty() && easedNs.front() < ns) easedNs.pop_front();
    return easedNs.size();
  }
};

std::string Number(double value) {
  if (value < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The guest's newest position against the host's at the same moment, as the
// report measures it; after one side stopped, where the two last met.
std::string Distance(const SideStatus& host, const SideStatus& guest) {
  if (host.samples.empty() || guest.samples.empty()) return "-";
  const Sample& g = guest.samples.back();
  auto h = std::lower_bound(host.samples.begin(), host.samples.end(), g.monoNs,
                            [](const Sample& s, std::int64_t ns) { return s.monoNs < ns; });
  if (h == host.samples.end()) --h;
  if (h != host.samples.begin() && g.monoNs - std::prev(h)->monoNs < h->monoNs - g.monoNs) --h;
  char text[32];
  std::snprintf(text, sizeof text, "%.0f m", trace::DistanceMetres(g.aircraft, h->aircraft));
  return text;
}

const char* WhoFlies(const SideStatus& host, const SideStatus& guest) {
  if (host.follower == 0.0 && guest.follower != 0.0) return "host ";
  if (guest.follower == 0.0 && host.follower != 0.0) return "guest";
  return "-    ";
}

bool AnyRunning(const std::vector<int>& pids) {
  for (int pid : pids) {
    if (::kill(pid, 0) == 0 || errno == EPERM) return true;
  }
  return false;
}

std::int64_t MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

int RunLive(const Sides& traces, const Sides& logs, const std::vector<int>& watchPids) {
  FollowedFile traceFiles[2] = {FollowedFile(traces.host), FollowedFile(traces.guest)};
  FollowedFile logFiles[2] = {FollowedFile(logs.host), FollowedFile(logs.guest)};
  SideStatus status[2];
  auto next = std::chrono::steady_clock::now();
  std::printf(
      "    time | link (MP_STS) | flying | eased frames/s | values from peer | distance\n"
      "         |   host  guest |        |    host  guest |     host  guest  |\n");
  bool running = true;
  while (running) {
    next += std::chrono::seconds(1);
    std::this_thread::sleep_until(next);
    running = AnyRunning(watchPids);
    for (int side = 0; side < 2; ++side) {
      for (const auto& line : traceFiles[side].ReadNewLines()) {
        if (auto record = trace::ParseTraceLine(line)) status[side].Take(*record);
      }
      for (const auto& line : logFiles[side].ReadNewLines()) status[side].TakeLogLine(line);
    }
    const std::int64_t oneSecondAgo = MonotonicNs() - 1'000'000'000;
    SideStatus& host = status[0];
    SideStatus& guest = status[1];
    char time[16] = "-";
    if (host.scriptSeconds >= 0) std::snprintf(time, sizeof time, "%.1f", host.scriptSeconds);
    std::printf("%6s s | %6s %6s | %s  | %7zu %6zu | %8d %6d  | %s\n", time,
                Number(host.linkState).c_str(), Number(guest.linkState).c_str(),
                WhoFlies(host, guest), host.EasedSince(oneSecondAgo),
                guest.EasedSince(oneSecondAgo), host.appliedValues, guest.appliedValues,
                Distance(host, guest).c_str());
    std::fflush(stdout);
  }
  return 0;
}
