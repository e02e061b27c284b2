// demo_monitor: the live status of a shared flight between two simhost
// instances, and the data behind the demo's report, both from their traces
// and the modules' logs.
#pragma once

#include <string>
#include <vector>

// One file of each side: the host (server role) and the guest (client role).
struct Sides {
  std::string host;
  std::string guest;
};

// Prints one status line a second from the two growing traces and logs until
// every process of `watchPids` has ended, then a last line.
int RunLive(const Sides& traces, const Sides& logs, const std::vector<int>& watchPids);

// Writes the data files for the plots, gnuplot files with the moments of the
// swaps and the rows of the delay plot, and report.md into `outputFolder`.
int RunReport(const Sides& traces, const Sides& logs, const std::string& lvarsFile,
              const std::string& outputFolder);
