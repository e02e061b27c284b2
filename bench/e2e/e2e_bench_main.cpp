// ms_e2e_bench: the whole system measured as pilots meet it, on two stand-in
// simulators in two network namespaces. Writes results.json and the data of
// its plots into one folder; scripts/bench-e2e.sh builds, runs and plots.
#include <sys/utsname.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "scenarios.h"
#include "sleep_floor.h"

namespace {

std::string FirstLineWith(const std::string& path, const std::string& prefix) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return "";
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string line;
  std::getline(file, line);
  return line;
}

nlohmann::json Machine() {
  utsname name{};
  ::uname(&name);
  std::string cpu = FirstLineWith("/proc/cpuinfo", "model name");
  if (const auto colon = cpu.find(": "); colon != std::string::npos) cpu = cpu.substr(colon + 2);
  return {{"kernel", std::string(name.sysname) + " " + name.release + " " + name.machine},
          {"cpu", cpu},
          {"cores", std::thread::hardware_concurrency()},
          {"memory", FirstLineWith("/proc/meminfo", "MemTotal")}};
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

// Every run stopped cleanly and every figure has samples behind it.
bool Complete(const nlohmann::json& results, bool flightOnly) {
  const auto& flight = results["flight"];
  bool complete = flight["clean_stop"].get<bool>() &&
                  flight["aircraft_state"]["received"].get<std::size_t>() > 0 &&
                  flight["follower_lag"].contains("measured");
  for (const auto& channel : flight["shared_variable_delay"]) {
    complete = complete && channel["count"].get<std::size_t>() > 0;
  }
  if (flightOnly) return complete;
  for (const auto& run : results["cpu"]) complete = complete && run["clean_stop"].get<bool>();
  for (const auto& run : results["follow"]) {
    complete = complete && run["clean_stop"].get<bool>() && run.contains("turning_climb") &&
               run["distance_through_the_swap"]["count"].get<std::size_t>() > 0;
  }
  const auto& stop = results["stop"];
  return complete && stop["clean_stops"] == stop["runs"] &&
         stop["gauge_kill_to_completed_ms"]["client"]["count"].get<std::size_t>() > 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"End-to-end benchmarks of two module instances on two stand-in simulators"};
  e2e_bench::SuiteOptions options;
  std::string code;
  bool flightOnly = false;
  double reliableP99LimitMs = 0;
  app.add_option("--simhost", options.programs.simhost, "the stand-in simulator")->required();
  app.add_option("--module", options.programs.module, "the module library")->required();
  app.add_option("--output", options.output, "folder for results.json and plot data")->required();
  app.add_option("--code", code, "which code is measured (a commit), written into the results");
  app.add_flag("--smoke", options.smoke, "a short run that checks the suite works, not a measure");
  app.add_flag("--flight-only", flightOnly, "only the shared flight: delays, state, follower lag");
  app.add_option("--reliable-p99-limit-ms", reliableP99LimitMs,
                 "fail when the reliable channel's delay p99 is over this (0: no limit)");
  std::string wine;
  std::string win32Env;
  auto* wineOption =
      app.add_option("--wine", wine,
                     "run --simhost (simhost.exe) and --module (MultiShared.dll) under this "
                     "wine64; the shared flight only");
  app.add_option("--win32-env", win32Env,
                 "run them as 32-bit Windows programs in the emulated root of this "
                 "scripts/win32-env.sh; the shared flight only")
      ->excludes(wineOption);
  CLI11_PARSE(app, argc, argv);
  if ((!wine.empty() || !win32Env.empty()) && !flightOnly) {
    std::cerr << "the Windows builds are measured in the shared flight only: add --flight-only\n";
    return 2;
  }
  if (::geteuid() != 0) {
    std::cerr << "the suite makes network namespaces and must run as root\n";
    return 2;
  }
  // The simulators run through `ip netns exec`, so they get absolute paths.
  for (std::string* path : {&options.output, &options.programs.simhost, &options.programs.module}) {
    *path = std::filesystem::absolute(*path).string();
  }
  std::filesystem::create_directories(options.output);
  const std::string prefixes = (std::filesystem::path(options.output) / "wine-prefixes").string();
  if (!wine.empty()) {
    options.programs.wine = e2e::WinePrefixes{{}, wine, prefixes, "win64"};
    options.startAllowance = 10.0;
  } else if (!win32Env.empty()) {
    // The emulated root sees the host's folders it is given at their own paths.
    options.programs.wine = e2e::EmulatedWin32(
        std::filesystem::absolute(win32Env).string(),
        {options.output, std::filesystem::path(options.programs.simhost).parent_path().string(),
         std::filesystem::path(options.programs.module).parent_path().string()},
        prefixes);
    // Every 32-bit process starts under emulation, several times slower.
    options.startAllowance = 40.0;
  }

  nlohmann::json results{{"date", UtcNow()},
                         {"code", code},
                         {"mode", options.smoke ? "smoke" : "full"},
                         {"simulators", !wine.empty()       ? "64-bit Windows under wine64"
                                        : !win32Env.empty() ? "32-bit Windows, emulated"
                                                            : "Linux"},
                         {"machine", Machine()},
                         {"load_average_at_start", LoadAverage()}};
  try {
    std::cout << "shared flight: delays, aircraft state, follower lag ..." << std::endl;
    results["flight"] = e2e_bench::RunFlight(options);
    for (const bool closeFollow :
         flightOnly ? std::vector<bool>{} : std::vector<bool>{false, true}) {
      std::cout << "following a turning climb and a swap, " << (closeFollow ? "with" : "without")
                << " close follow ..." << std::endl;
      results["follow"][closeFollow ? "close_follow" : "without"] =
          e2e_bench::RunFollow(options, closeFollow);
    }
    for (int variables : flightOnly      ? std::vector<int>{}
                         : options.smoke ? std::vector<int>{10, 1000}
                                         : std::vector<int>{10, 100, 1000, 5000, 10000}) {
      std::cout << "CPU per thread with " << variables << " shared variables ..." << std::endl;
      results["cpu"].push_back(e2e_bench::RunCpu(options, variables));
    }
    if (!flightOnly) {
      std::cout << "the pauses alone ..." << std::endl;
      results["cpu_floor"] = e2e_bench::MeasureSleepFloor(options.smoke ? 2.0 : 30.0);
      std::cout << "stop handshakes ..." << std::endl;
      results["stop"] = e2e_bench::RunStops(options, options.smoke ? 2 : 20);
    }
  } catch (const std::exception& e) {
    std::cerr << "benchmark failed: " << e.what() << "\n";
    return 1;
  }
  results["load_average_at_end"] = LoadAverage();

  std::ofstream out(std::filesystem::path(options.output) / "results.json", std::ios::trunc);
  out << results.dump(2) << "\n";
  std::ofstream cpu(std::filesystem::path(options.output) / "cpu.dat", std::ios::trunc);
  for (const auto& run : results["cpu"]) {
    for (const char* side : {"server", "client"}) {
      const auto& t = run[side];
      cpu << '"' << side << ' ' << run["shared_variables"].get<int>() << "\" " << t["simulator"]
          << ' ' << t["send"] << ' ' << t["receive"] << ' ' << t["udt"] << '\n';
    }
  }
  std::cout << results.dump(2) << std::endl;
  if (!Complete(results, flightOnly)) {
    std::cerr << "a run did not stop cleanly or measured nothing; see " << options.output
              << "/runs\n";
    return 1;
  }
  // A bound far above the normal few milliseconds: it catches a reliable
  // channel that waits for UDT's timer passes, not a slow machine.
  const double reliableP99 = results["flight"]["shared_variable_delay"]["reliable"]["p99"];
  if (reliableP99LimitMs > 0 && reliableP99 > reliableP99LimitMs) {
    std::cerr << "reliable delay p99 " << reliableP99 << " ms is over the limit of "
              << reliableP99LimitMs << " ms\n";
    return 1;
  }
  return 0;
}
