#include "module/gauge.h"

#include "lvars/fixed_variables.h"
#include "lvars/lvar_table.h"
#include "module/globals.h"
#include "module/panel_services.h"
#include "platform/platform.h"
#include "session/log.h"

namespace {

// The seven element routines hand the gauge's only element to the panel
// service of the same role.
ElementHeader* FirstElement() { return multiSharedGauge.elements[0]; }
void MS_STDCALL ElementQuery() { panel::CallElementService(panel::kElementQuery, FirstElement()); }
void MS_STDCALL ElementInstall(std::uint32_t value) {
  panel::CallElementService(panel::kElementInstall, FirstElement(), value);
}
void MS_STDCALL ElementInitialize() {
  panel::CallElementService(panel::kElementInitialize, FirstElement());
}
void MS_STDCALL ElementUpdate() {
  panel::CallElementService(panel::kElementUpdate, FirstElement());
}
void MS_STDCALL ElementGenerate(std::uint32_t value) {
  panel::CallElementService(panel::kElementGenerate, FirstElement(), value);
}
void MS_STDCALL ElementDraw() { panel::CallElementService(panel::kElementDraw, FirstElement()); }
void MS_STDCALL ElementKill() { panel::CallElementService(panel::kElementKill, FirstElement()); }

// A parent rectangle with a zero box, its end marker and the terminator.
const MouseRect kMouseRects[3] = {
    {{1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0}},
    {{3, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0}},
};

ElementHeader staticImage = {
    .elementType = 0,
    .resourceId = kElementResourceId,
    .positionX = 0,
    .positionY = 0,
    .previousPositionX = 0,
    .previousPositionY = 0,
    .offsetX = 0,
    .offsetY = 0,
    .gauge = &multiSharedGauge,
    .previousElement = nullptr,
    .nextElements = nullptr,
    .failures = nullptr,
    .reserved1 = 0,
    .imageFlags = kElementImageFlags,
    .reserved2 = nullptr,
    .reserved3 = nullptr,
    .image = nullptr,
    .reserved4 = nullptr,
};
ElementHeader* const kElementList[1] = {&staticImage};

}  // namespace

GaugeHeader multiSharedGauge = {
    .headerVersion = kGaugeHeaderVersion,
    .name = "MultiShared",
    .elements = kElementList,
    .queryRoutine = ElementQuery,
    .installRoutine = ElementInstall,
    .initializeRoutine = ElementInitialize,
    .updateRoutine = ElementUpdate,
    .generateRoutine = ElementGenerate,
    .drawRoutine = ElementDraw,
    .killRoutine = ElementKill,
    .reserved1 = nullptr,
    .sizeXmm = kGaugeSizeXmm,
    .sizeYmm = 0,
    .xAdjust = 0.0f,
    .yAdjust = 0.0f,
    .reserved2 = nullptr,
    .reserved3 = nullptr,
    .positionX = 0,
    .positionY = 0,
    .reserved4 = nullptr,
    .mouseRects = kMouseRects,
    .gaugeCallback = GaugeCallback,
    .userData = 0,
    .parameters = nullptr,
    .usage = nullptr,
    .reserved5 = nullptr,
    .reserved6 = nullptr,
};

void RunShutdownHandshake() {
  // The line goes first: once the stop is requested the send thread logs its
  // own shutdown lines, which must follow this one.
  LogMessage("Thread close initiated");
  // A role that has already finished keeps its 2, so that the kill of a
  // reloaded gauge does not wait for threads that are gone.
  std::int32_t running = shutdown_state::kRunning;
  shutdownState.compare_exchange_strong(running, shutdown_state::kStopRequested);
  while (Load(roleStarted) &&
         shutdownState.load(std::memory_order_acquire) != shutdown_state::kFinished) {
    LogMessage("Waiting for thread close");
    platform::SleepMs(10);
  }
  LogMessage("Thread Close Process Completed");
}

void MS_STDCALL GaugeCallback(GaugeHeader*, std::int32_t service, std::uint32_t) {
  switch (service) {
    case kServicePreInitialize:
      Store(lvarCount, 0);
      RegisterFixedVariables();
      ResolveFixedVariables();
      break;
    case kServicePreUpdate:
      PollFixedVariables();
      LoadLVarTable();
      PollLVarTable();
      break;
    case kServicePreKill:
      RunShutdownHandshake();
      break;
    default:
      break;
  }
}
