// Child processes for the end-to-end tests: short commands whose output we
// want, and long-running simulators that must never outlive the test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct CommandResult {
  int exitCode = -1;   // -1 when the program could not be run or was killed
  std::string output;  // standard output and standard error together
};

// Runs argv[0] (searched in PATH) to its end.
CommandResult RunCommand(const std::vector<std::string>& argv);

// A program running in the background with its output in two files. The
// destructor kills it if it still runs, so a failing test leaves nothing behind.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& stdoutPath,
               const std::string& stderrPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The exit code once the program has ended within `limit`; nothing when it
  // was still running, in which case it has been killed.
  std::optional<int> WaitFor(std::chrono::milliseconds limit);
  bool Running();
  pid_t Pid() const { return pid_; }

 private:
  void Kill();

  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

}  // namespace e2e
