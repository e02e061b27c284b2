#include <signal.h>

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

// A trace that another process is still writing: each call returns the
// records completed since the last one.
class FollowedTrace {
 public:
  explicit FollowedTrace(std::string path) : path_(std::move(path)) {}

  std::vector<trace::Record> ReadNew() {
    std::vector<trace::Record> records;
    if (!file_.is_open()) {
      file_.open(path_);
      if (!file_.is_open()) return records;
    }
    std::string line;
    while (std::getline(file_, line)) {
      if (file_.eof()) {  // no line end yet: the writer is in the middle of it
        partial_ += line;
        break;
      }
      if (auto record = trace::ParseTraceLine(partial_ + line)) records.push_back(*record);
      partial_.clear();
    }
    file_.clear();
    return records;
  }

 private:
  std::string path_;
  std::ifstream file_;
  std::string partial_;
};

// What one side's trace has shown so far.
struct SideStatus {
  double linkState = -1.0;  // last "MP_STS" the module wrote
  double follower = -1.0;   // last "MP_CONN" the module wrote: 0 flies, 1 follows
  std::optional<trace::Aircraft> aircraft;
  std::deque<std::int64_t> receivedNs;  // variables and aircraft states applied from the peer

  void Take(const trace::Record& record) {
    if (const auto* w = std::get_if<trace::LvarWrite>(&record.body)) {
      if (w->by != trace::By::kModule) return;
      if (w->name == "MP_STS") {
        linkState = w->value;
      } else if (w->name == "MP_CONN") {
        follower = w->value;
      } else {
        receivedNs.push_back(record.monoNs);
      }
    } else if (const auto* s = std::get_if<trace::SetData>(&record.body)) {
      // One eased frame writes many definitions; its latitude counts it once.
      if (s->definition == kDefinitionLatitude) receivedNs.push_back(record.monoNs);
    } else if (const auto* a = std::get_if<trace::Aircraft>(&record.body)) {
      aircraft = *a;
    }
  }

  std::size_t ReceivedSince(std::int64_t ns) {
    while (!receivedNs.empty() && receivedNs.front() < ns) receivedNs.pop_front();
    return receivedNs.size();
  }
};

std::string Number(double value) {
  if (value < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
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

int RunLive(const std::string& hostTrace, const std::string& guestTrace,
            const std::vector<int>& watchPids) {
  FollowedTrace traces[2] = {FollowedTrace(hostTrace), FollowedTrace(guestTrace)};
  SideStatus status[2];
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  std::printf("  time | link (MP_STS)    | flying | applied/s host guest | distance\n");
  bool running = true;
  while (running) {
    next += std::chrono::seconds(1);
    std::this_thread::sleep_until(next);
    running = AnyRunning(watchPids);
    for (int side = 0; side < 2; ++side) {
      for (const auto& record : traces[side].ReadNew()) status[side].Take(record);
    }
    const std::int64_t oneSecondAgo = MonotonicNs() - 1'000'000'000;
    std::string distance = "-";
    if (status[0].aircraft && status[1].aircraft) {
      distance = Number(static_cast<int>(
                     trace::DistanceMetres(*status[0].aircraft, *status[1].aircraft) + 0.5)) +
                 " m";
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    std::printf("%5llds | host %-2s guest %-2s | %s  | %9zu %5zu | %s\n",
                static_cast<long long>(seconds.count()), Number(status[0].linkState).c_str(),
                Number(status[1].linkState).c_str(), WhoFlies(status[0], status[1]),
                status[0].ReceivedSince(oneSecondAgo), status[1].ReceivedSince(oneSecondAgo),
                distance.c_str());
    std::fflush(stdout);
  }
  return 0;
}
