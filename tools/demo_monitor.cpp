#include "demo_monitor.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Live status and report data of a shared flight of two simhost instances"};
  app.require_subcommand(1);

  std::string hostTrace, guestTrace, lvars, output;
  std::vector<int> pids;
  auto* live = app.add_subcommand("live", "print a status line once a second");
  live->add_option("host_trace", hostTrace, "trace of the host (server)")->required();
  live->add_option("guest_trace", guestTrace, "trace of the guest (client)")->required();
  live->add_option("--watch-pid", pids, "run while any of these processes runs")->required();

  auto* report = app.add_subcommand("report", "write the plot data and report.md");
  report->add_option("host_trace", hostTrace, "trace of the host (server)")->required();
  report->add_option("guest_trace", guestTrace, "trace of the guest (client)")->required();
  report->add_option("--lvars", lvars, "the LVars.cfg both used")->required();
  report->add_option("--output", output, "folder for the data and the report")->required();

  CLI11_PARSE(app, argc, argv);
  if (*live) return RunLive(hostTrace, guestTrace, pids);
  return RunReport(hostTrace, guestTrace, lvars, output);
}
