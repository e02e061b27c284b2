// CPU time of each thread of a running process, read from /proc, and the
// share of one core that each kind of thread took between two readings.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace e2e_bench {

struct ThreadTime {
  std::string name;
  std::int64_t cpuNs = 0;
};

// Every thread of `pid` by thread id, with the CPU time it has used so far.
std::map<pid_t, ThreadTime> ReadThreadTimes(pid_t pid);

// The kind of a simhost thread: "simulator" (its main thread, which also runs
// the module's gauge), "send" and "receive" (the module's loops, by the names
// they give themselves) and "udt" (every other thread: the reliable channel
// library's own).
std::string ThreadKind(pid_t pid, pid_t tid, const std::string& name);

// Per kind: percent of one core used between `before` and `after`, over
// `wallNs` of elapsed time. Threads that ended in between are not counted.
std::map<std::string, double> CorePercentByKind(pid_t pid,
                                                const std::map<pid_t, ThreadTime>& before,
                                                const std::map<pid_t, ThreadTime>& after,
                                                std::int64_t wallNs);

}  // namespace e2e_bench
