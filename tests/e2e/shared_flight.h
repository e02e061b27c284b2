// The end-to-end harness: two simhost processes, each in its own network
// namespace with its own documents folder, "SharedConfig.cfg" naming the
// other and the same base port, one "LVars.cfg", a script and a trace.
// Tests derive from SharedFlightTest; it skips when namespaces cannot be made.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo_monitor_trace.h"
#include "netns_pair.h"
#include "process.h"

namespace e2e {

inline constexpr int kServer = 0;
inline constexpr int kClient = 1;
inline constexpr int kBasePort = 5000;
// SimConnect data definitions the module writes through.
inline constexpr std::uint32_t kDefinitionHeading = 28;
inline constexpr std::uint32_t kDefinitionLatitude = 31;
inline constexpr std::uint32_t kDefinitionGearHandle = 32;

template <typename T>
struct Timed {
  double t;
  std::int64_t monoNs;
  T body;
};

// One simulator's trace, with the queries the scenarios need.
class SideTrace {
 public:
  explicit SideTrace(std::vector<trace::Record> records) : records_(std::move(records)) {}

  template <typename T>
  std::vector<Timed<T>> All() const {
    std::vector<Timed<T>> out;
    for (const auto& r : records_) {
      if (const T* body = std::get_if<T>(&r.body)) out.push_back({r.t, r.monoNs, *body});
    }
    return out;
  }
  // Writes of one named variable by one writer, in order.
  std::vector<Timed<trace::LvarWrite>> Writes(const std::string& name, trace::By by) const;
  // The first such write of `value` at or after `afterNs`.
  std::optional<Timed<trace::LvarWrite>> FirstWrite(const std::string& name, double value,
                                                    trace::By by, std::int64_t afterNs = 0) const;
  // The value the cockpit ends with: the last write of `name` by anyone (0
  // when none).
  double Last(const std::string& name) const;
  std::vector<Timed<trace::KeyEvent>> KeyEvents(trace::By by) const;
  std::vector<Timed<trace::SetData>> SetData(std::uint32_t definition) const;
  std::size_t size() const { return records_.size(); }

 private:
  std::vector<trace::Record> records_;
};

class SharedFlightTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The same "LVars.cfg" for both sides (the table index must agree).
  void WriteTable(const std::string& text);
  // "LVars.cfg" of one side only, for tables that differ.
  void WriteTable(int side, const std::string& text);
  // Rewrites the side's "SharedConfig.cfg": the peer, the base port, then
  // `extraLines` (each ended by a newline). Takes effect at the next Start.
  void WriteConfig(int side, const std::string& extraLines);
  // Starts the simulator of `side` with this script; it ends itself by the
  // script's "quit", or after `durationSeconds` at the latest. A later run of
  // the same side names its script, trace and output files with `run`.
  void Start(int side, const std::string& script, double durationSeconds,
             const std::string& run = "");
  // Kills the side's simulator, as a crash or a power cut would end it.
  void Kill(int side);
  // Waits until the side's log has a line equal to `line`.
  bool WaitForLogLine(int side, const std::string& line, std::chrono::milliseconds limit);
  // Waits for the side's simulator to end; its exit code, or nothing when it
  // had to be killed.
  std::optional<int> WaitForExit(int side, std::chrono::milliseconds limit);

  // Starts the server side, waits for its role, then the client side, and
  // waits for both to end with exit code 0.
  void RunBoth(const std::string& serverScript, const std::string& clientScript,
               double durationSeconds);
  // Starts the server side, waits for its role, waits `clientDelay`, then
  // starts the client side; WaitForBoth then expects both to end with 0.
  void StartServerThenClient(const std::string& server, const std::string& client,
                             std::chrono::seconds clientDelay, double duration,
                             const std::string& run = "");
  void WaitForBoth(double duration);
  // No module write on `side` of `name` with a value other than `allowed`
  // at or after `afterNs`.
  void ExpectOnlyWrites(int side, const std::string& name, double allowed, std::int64_t afterNs,
                        const std::string& why, const std::string& run = "") const;

  // The simulator program and its arguments for `side`, run inside that
  // side's namespace; `base` is the side's run folder, which holds its
  // documents folder, and its script and trace of run `run`.
  virtual std::vector<std::string> SimulatorCommand(int side, const std::string& base,
                                                    const std::string& duration,
                                                    const std::string& run) const;

  SideTrace Trace(int side, const std::string& run = "") const;
  std::vector<std::string> LogLines(int side) const;
  std::string Folder(int side) const;     // the module's folder in that documents folder
  std::string Documents(int side) const;  // that side's documents folder
  // The end of the simulator's standard error (sanitizer reports, script errors).
  std::string ErrorOutput(int side) const;
  const NetnsPair& Net() const { return *net_; }

  // Runs a command inside the namespace of `side` ("ip netns exec").
  CommandResult InNamespace(int side, const std::vector<std::string>& argv) const;
  // Loads an nftables ruleset (text in nft's file syntax) into that namespace.
  void LoadRules(int side, const std::string& ruleset);
  // The process id of that side's simulator (-1 before it starts).
  pid_t SimPid(int side) const;
  // Starts `argv` in the background inside the namespace of `side`; its
  // output goes to NAME.out and NAME.err in the run folder and it ends with
  // the test.
  void StartHelper(int side, const std::string& name, const std::vector<std::string>& argv);
  void StartHelperIn(const std::string& space, const std::string& name,
                     const std::vector<std::string>& argv);

  // Through a router (NetnsPair): the server side at home, the client side on
  // the internet. Commands for the router's namespace, as for a side's.
  virtual bool ThroughRouter() const { return false; }
  CommandResult InRouter(const std::vector<std::string>& argv) const;
  void LoadRouterRules(const std::string& ruleset);
  void StartRouterHelper(const std::string& name, const std::vector<std::string>& argv);
  // A file in the run folder, for the helpers' configuration and output.
  std::string RunFile(const std::string& name) const;
  // Puts kStranger on `side`'s end of the link and routes the other side to
  // it, so that a helper there can send as a computer that is not the peer.
  void PlaceStranger(int side);

  // How long RunBoth waits for the server's role to start.
  std::chrono::seconds roleStartLimit_{10};

 private:
  std::unique_ptr<NetnsPair> net_;
  std::string runFolder_;
  std::unique_ptr<ChildProcess> sims_[2];
  std::vector<std::unique_ptr<ChildProcess>> helpers_;
};

// A shared variable of a scenario's "LVars.cfg".
struct Var {
  std::string name;
  std::string category;  // the word of "LVars.cfg", empty for none
};
std::string TableText(const std::vector<Var>& vars);

// A script line setting `name` to `value` at `t`.
std::string Set(double t, const std::string& name, double value);

// CLOCK_MONOTONIC now, as the traces' "mono_ns".
std::int64_t SteadyNowNs();

// CPU seconds (user and system) that process `pid` has used so far.
double CpuSeconds(pid_t pid);

// Script lines that start a role: "MP_CONN" first, then "MP_START".
std::string StartRoleLines(double atSeconds, int side);

// An address on the link that is neither side's (see PlaceStranger).
inline constexpr const char* kStranger = "198.18.0.9";

// Script lines setting `name` to valueStep, 2 valueStep, ... one every
// `interval` seconds after t0.
std::string Changes(const std::string& name, double t0, int count, double interval,
                    double valueStep = 1.0);
// step, 2 step, ... `count` of them: the values Changes sets.
std::vector<double> Sequence(int count, double step = 1.0);
// Script lines put in time order (stable, so equal times keep their order).
std::string InTimeOrder(const std::string& lines);

// The gauge kill handshake in the log, in order: "Thread close initiated",
// the send thread's "thread close start, thread2 wait close", and both
// "Thread Close Process Completed" and "thread closed" after that.
void ExpectShutdownHandshake(const std::vector<std::string>& log, const char* who);

std::size_t CountLines(const std::vector<std::string>& log, const std::string& line);

// The values of a run of named-variable writes, in order.
std::vector<double> Values(const std::vector<Timed<trace::LvarWrite>>& writes);

// How many of `records` fall in [fromNs, toNs).
std::size_t CountBetween(const std::vector<Timed<trace::SetData>>& records, std::int64_t fromNs,
                         std::int64_t toNs);

}  // namespace e2e
