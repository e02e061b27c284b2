// One send pass of a role over the shared table.
//
// Budget: a role's send loop pauses 5 ms between passes, so a pass must take
// a small part of 5 ms on the simulator's machine, whatever the table size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "bench_module.h"
#include "common/log_limit.h"
#include "common/module_state.h"
#include "common/panel_services.h"
#include "net/converge.h"
#include "net/role_loop.h"

namespace {

// Sends counted instead of sent, so that the figure is the pass's own work.
// The aircraft state goes once a pass and is not counted.
struct SendCounts {
  std::int64_t reliable = 0;
  std::int64_t datagram = 0;
  std::int64_t extension = 0;  // reliable sends of the extension's records
};
RoleOutput CountingOutput(SendCounts& counts) {
  return RoleOutput{[&counts](std::int32_t, double, double, double) { ++counts.reliable; },
                    [&counts](double, double, double) { ++counts.datagram; },
                    [](const AircraftStateRecord&) {},
                    [&counts](const std::uint8_t*, std::size_t) { ++counts.extension; },
                    [] {},
                    [] { return false; },
                    [&counts](const std::uint8_t*, std::size_t) { ++counts.datagram; }};
}

// Arguments: table entries; 0 for a pass that sees no change, 1 for a pass
// in which every entry moved (the client's rule, which sends every change it
// sees, so that no pass of either role is longer).
void BM_SendPass(benchmark::State& state) {
  const ModuleSession session;
  const auto entries = static_cast<std::size_t>(state.range(0));
  const bool changes = state.range(1) != 0;
  UseTable(MixedCategories(entries));
  // Flying, with display and weather sync on: every category's rule sends.
  Store(roleState.isFollower, 0);
  Store(simThread.sharedState->vars->value[slot::kMpSyncDsp], 1.0);
  Store(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);

  SendCounts counts;
  const RoleOutput output = CountingOutput(counts);
  // On the loop's own clock, as a real pass runs.
  ConvergeState converge;
  RunSendPass(output, ReliableChangeRule::kContinues, converge,
              SteadyNowMs());  // resolves every name
  std::vector<std::uint32_t> ids;
  for (const auto& entry : simThread.lvarTable) ids.push_back(Load(entry->id));

  counts = SendCounts{};
  // Each pass is timed alone (the Time column), so that writing the changes
  // before it is not part of the figure.
  std::int64_t pass = 0;
  double passSeconds = 0.0;
  for (auto _ : state) {
    if (changes) {
      // Each entry alternates between two values 1 apart, its FCU heading
      // partner never equal to the FCU entry before it.
      const double step = (pass++ % 2 == 0) ? 1.0 : 2.0;
      for (std::size_t i = 0; i < ids.size(); ++i) {
        panel::WriteNamedValue(ids[i], step + static_cast<double>(i % 8));
      }
    }
    const auto start = std::chrono::steady_clock::now();
    RunSendPass(output, ReliableChangeRule::kContinues, converge, SteadyNowMs());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    passSeconds += took.count();
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["reliable/pass"] = static_cast<double>(counts.reliable) / iterations;
  state.counters["datagram/pass"] = static_cast<double>(counts.datagram) / iterations;
  state.counters["extension/pass"] = static_cast<double>(counts.extension) / iterations;
  state.counters["ns/entry"] = passSeconds * 1e9 / (iterations * static_cast<double>(entries));
}
BENCHMARK(BM_SendPass)
    ->ArgNames({"entries", "changes"})
    ->ArgsProduct({{100, 1000, 10000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
