// The simulator thread's handling of one aircraft-state data message, which
// arrives once a frame while the aircraft moves.
//
// Budget: one frame at 60 Hz (16.7 ms), shared with the simulator's own work,
// so the module's part must stay a very small fraction of it.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "bench_module.h"
#include "common/module_state.h"
#include "simlink/definitions.h"
#include "simlink/dispatch.h"
#include "simlink/eased_values.h"
#include "standin.h"

namespace {

// A SIMOBJECT_DATA message of the aircraft-state request, over (25 N, 100 E).
standin::RecvMessage AircraftStateMessage() {
  std::vector<double> values(kAircraftStateFieldCount);
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = 1.0 + static_cast<double>(i);
    if (kAircraftStateFields[i].field == &AircraftState::planeLatitude) values[i] = 25.0;
    if (kAircraftStateFields[i].field == &AircraftState::planeLongitude) values[i] = 100.0;
  }
  standin::DataRequest request{};
  request.requestId = kAircraftStateRequest;
  request.defineId = definition::kAircraftState;
  return standin::DataMessage(request, values);
}

// Argument: 1 while following (copy, then one easing step whose fifteen
// values go to the stand-in's SimConnect), 0 while flying (copy and reset).
// The stand-in's handling of each value set is part of the figure.
void BM_SimFrameData(benchmark::State& state) {
  const ModuleSession session;
  standin::RecvMessage message = AircraftStateMessage();
  SimConnectRecv* recv = message.Recv();
  const SimConnectDword size = message.size;
  SimConnectDispatch(recv, size, nullptr);  // not yet following: easing divisors set
  if (state.range(0) != 0) {
    Store(simThread.sharedState->vars->value[slot::kMpConn], 1.0);
    Store(roleState.isFollower, 1);
    for (const EasedValue& source : kEasedValues) {
      Store((simThread.sharedState->*source.record).target, 500.0);
    }
  }
  for (auto _ : state) SimConnectDispatch(recv, size, nullptr);
}
BENCHMARK(BM_SimFrameData)->ArgName("following")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
