// What the parts of the stand-in simulator share among themselves and do not
// offer to the module, the tests or simhost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>

#include "aircraft.h"
#include "common/panel_services.h"
#include "standin.h"

namespace standin {

// Writes a trace record when a trace is set.
void Emit(const char* type, nlohmann::json fields);
const char* ByName(By by);

// Named variables by identifier, as the panel services reach them. An unknown
// identifier reads 0.0 and ignores writes.
double ReadNamedById(std::uint32_t id);
void WriteNamedById(std::uint32_t id, double value, By by);

void HookKeyEventHandler(KeyEventHandler handler, void* user);
void UnhookKeyEventHandler(KeyEventHandler handler, void* user);

// The simulation lock guards the aircraft and the SimConnect connection: the
// module's receive thread writes the aircraft through SetDataOnSimObject while
// the simulator thread advances it.
std::mutex& SimulationMutex();
Aircraft& TheAircraft();  // only under SimulationMutex()

// The simulator services the module calls, for the off-thread counts.
enum class Service : std::size_t {
  kTriggerKeyEvent,
  kFindNamedValue,
  kCreateNamedValue,
  kReadNamedValue,
  kWriteNamedValue,
  kSubscribeToSystemEvent,
  kAddToDataDefinition,
  kRequestDataOnSimObject,
  kSetDataOnSimObject,
  kTransmitClientEvent,
  kCallDispatch,
  kClose,
};
inline constexpr std::size_t kServiceCount = 12;
// Counts the call when it comes from a thread other than the simulator's.
void CountCall(Service service);

void ResetOffThreadCalls();
void ResetNamedValues();
void ResetKeyEvents();
void ResetPanelCounts();
void ResetSimConnect();

}  // namespace standin
