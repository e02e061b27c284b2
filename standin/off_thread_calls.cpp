// Counts the module's calls into the simulator that arrive on a thread other
// than the one driving the frames: the real simulator promises nothing for
// them, and the stand-in's locks would hide any harm they do.
#include <array>
#include <atomic>
#include <thread>

#include "internal.h"

namespace standin {

namespace {

constexpr std::array<const char*, kServiceCount> kServiceNames = {
    "TriggerKeyEvent",
    "FindNamedValue",
    "CreateNamedValue",
    "ReadNamedValue",
    "WriteNamedValue",
    "SimConnect_SubscribeToSystemEvent",
    "SimConnect_AddToDataDefinition",
    "SimConnect_RequestDataOnSimObject",
    "SimConnect_SetDataOnSimObject",
    "SimConnect_TransmitClientEvent",
    "SimConnect_CallDispatch",
    "SimConnect_Close",
};

std::atomic<std::thread::id> simulatorThread{std::this_thread::get_id()};
std::array<std::atomic<std::uint64_t>, kServiceCount> offThreadCounts{};

}  // namespace

void MarkSimulatorThread() {
  simulatorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void CountCall(Service service) {
  if (std::this_thread::get_id() == simulatorThread.load(std::memory_order_relaxed)) return;
  offThreadCounts[static_cast<std::size_t>(service)].fetch_add(1, std::memory_order_relaxed);
}

std::vector<ServiceCalls> OffThreadCalls() {
  std::vector<ServiceCalls> calls;
  for (std::size_t i = 0; i < kServiceCount; ++i) {
    const std::uint64_t count = offThreadCounts[i].load(std::memory_order_relaxed);
    if (count != 0) calls.push_back({kServiceNames[i], count});
  }
  return calls;
}

void ResetOffThreadCalls() {
  for (auto& count : offThreadCounts) count.store(0, std::memory_order_relaxed);
}

}  // namespace standin
