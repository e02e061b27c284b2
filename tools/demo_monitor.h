// demo_monitor: the live status of a shared flight between two simhost
// instances, and the data behind the demo's report, both from their traces.
#pragma once

#include <string>
#include <vector>

// Prints one status line a second from the two growing traces until every
// process of `watchPids` has ended, then a last line.
int RunLive(const std::string& hostTrace, const std::string& guestTrace,
            const std::vector<int>& watchPids);

// Writes the data files for the plots, a gnuplot file with the moments of
// the swaps, and report.md into `outputFolder`.
int RunReport(const std::string& hostTrace, const std::string& guestTrace,
              const std::string& lvarsFile, const std::string& outputFolder);
