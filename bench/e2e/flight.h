// Two stand-in simulators in two network namespaces, each with its own
// documents folder naming the other, one "LVars.cfg" for both, a script and a
// trace: one shared flight of the benchmark suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo_monitor_trace.h"
#include "netns_pair.h"
#include "process.h"
#include "wine_prefixes.h"

namespace e2e_bench {

inline constexpr int kServer = 0;
inline constexpr int kClient = 1;
inline constexpr int kBasePort = 5000;

struct Programs {
  std::string simhost;
  std::string module;
  // A Windows build's simhost.exe and MultiShared.dll run under this Wine;
  // the module then finds its files through the prefix's documents folder.
  std::optional<e2e::WinePrefixes> wine;
};

class Flight {
 public:
  // Makes the namespaces and both folders under `folder`, each
  // SharedConfig.cfg with `options` (option lines) after its two lines;
  // throws std::runtime_error when the namespaces cannot be made.
  Flight(Programs programs, std::string folder, const std::string& table,
         const std::string& options = "");
  ~Flight();
  Flight(const Flight&) = delete;
  Flight& operator=(const Flight&) = delete;

  // Starts the server with its script, waits for its role, then starts the
  // client; throws when the server's role does not start.
  void StartBoth(const std::string& serverScript, const std::string& clientScript,
                 double durationSeconds);
  // Whether both simulators ended with exit code 0 within `limit`.
  bool WaitForBoth(std::chrono::milliseconds limit);

  pid_t Pid(int side) const { return sims_[side]->Pid(); }
  const std::string& Namespace(int side) const { return net_->Namespace(side); }
  std::string LogPath(int side) const;
  std::vector<trace::Record> Trace(int side) const;

 private:
  void Start(int side, const std::string& script, double durationSeconds);
  std::string Side(int side) const;

  Programs programs_;
  std::string folder_;
  std::unique_ptr<e2e::NetnsPair> net_;
  std::unique_ptr<e2e::ChildProcess> sims_[2];
};

// Script lines that start the role of `side` at 0.1 s.
std::string StartRoleLines(int side);

}  // namespace e2e_bench
