#include "demo_monitor.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Live status and report data of a shared flight of two simhost instances"};
  app.require_subcommand(1);

  Sides traces, logs;
  std::string lvars, output;
  std::vector<int> pids;
  const auto addSides = [&](CLI::App* command) {
    command->add_option("host_trace", traces.host, "trace of the host (server)")->required();
    command->add_option("guest_trace", traces.guest, "trace of the guest (client)")->required();
    command->add_option("--host-log", logs.host, "SharedDetails.log of the host")->required();
    command->add_option("--guest-log", logs.guest, "SharedDetails.log of the guest")->required();
  };
  auto* live = app.add_subcommand("live", "print a status line once a second");
  addSides(live);
  live->add_option("--watch-pid", pids, "run while any of these processes runs")->required();

  auto* report = app.add_subcommand("report", "write the plot data and report.md");
  addSides(report);
  report->add_option("--lvars", lvars, "the LVars.cfg both used")->required();
  report->add_option("--output", output, "folder for the data and the report")->required();

  CLI11_PARSE(app, argc, argv);
  if (*live) return RunLive(traces, logs, pids);
  return RunReport(traces, logs, lvars, output);
}
