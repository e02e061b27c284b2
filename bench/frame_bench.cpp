// The simulator thread's handling of one aircraft-state data message, which
// arrives once a frame while the aircraft moves.
//
// Budget: one frame at 60 Hz (16.7 ms), shared with the simulator's own work,
// so the module's part must stay a very small fraction of it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

#include "bench_module.h"
#include "module/globals.h"
#include "simlink/definitions.h"
#include "simlink/dispatch.h"

namespace {

// A SIMOBJECT_DATA message of the aircraft-state request, over (25 N, 100 E).
std::vector<unsigned char> AircraftStateMessage() {
  std::array<double, kAircraftStateFieldCount> values{};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 1.0 + static_cast<double>(i);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (kAircraftStateFields[i].field == &AircraftState::planeLatitude) values[i] = 25.0;
    if (kAircraftStateFields[i].field == &AircraftState::planeLongitude) values[i] = 100.0;
  }
  constexpr std::size_t kHeader = offsetof(SimConnectRecvSimObjectData, dwData);
  std::vector<unsigned char> message(kHeader + sizeof(values));
  SimConnectRecvSimObjectData head{};
  head.dwSize = static_cast<SimConnectDword>(message.size());
  head.dwID = simconnect::kRecvIdSimObjectData;
  head.dwRequestID = kAircraftStateRequest;
  head.dwDefineID = definition::kAircraftState;
  head.dwentrynumber = 1;
  head.dwoutof = 1;
  head.dwDefineCount = kAircraftStateFieldCount;
  std::memcpy(message.data(), &head, kHeader);
  std::memcpy(message.data() + kHeader, values.data(), sizeof(values));
  return message;
}

// Argument: 1 while following (copy, then one easing step whose fifteen
// values go to the stand-in's SimConnect), 0 while flying (copy and reset).
// The stand-in's handling of each value set is part of the figure.
void BM_SimFrameData(benchmark::State& state) {
  const ModuleSession session;
  std::vector<unsigned char> message = AircraftStateMessage();
  auto* recv = reinterpret_cast<SimConnectRecv*>(message.data());
  const auto size = static_cast<SimConnectDword>(message.size());
  SimConnectDispatch(recv, size, nullptr);  // not yet following: easing divisors set
  if (state.range(0) != 0) {
    Store(sharedState->vars->value[slot::kMpConn], 1.0);
    Store(isFollower, 1);
    for (const SmoothedValueSource& source : kSmoothedValueSources) {
      Store((sharedState->*source.record).target, 500.0);
    }
  }
  for (auto _ : state) SimConnectDispatch(recv, size, nullptr);
}
BENCHMARK(BM_SimFrameData)->ArgName("following")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
