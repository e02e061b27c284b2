#include "module/gauge.h"

#include <cassert>

#include "common/log.h"
#include "common/module_state.h"
#include "common/panel_services.h"
#include "lvars/fixed_variables.h"
#include "lvars/lvar_table.h"
#include "platform/platform.h"
#include "session/role_start.h"

namespace {

// The seven element routines hand the gauge's only element to the panel
// service of the same role.
ElementHeader* FirstElement() { return multiSharedGauge.elements[0]; }
void MS_STDCALL ElementQuery() { panel::CallElementService(panel::kElementQuery, FirstElement()); }
void MS_STDCALL ElementInstall(void* value) { panel::InstallElement(FirstElement(), value); }
void MS_STDCALL ElementInitialize() {
  panel::CallElementService(panel::kElementInitialize, FirstElement());
}
void MS_STDCALL ElementUpdate() {
  panel::CallElementService(panel::kElementUpdate, FirstElement());
}
void MS_STDCALL ElementGenerate(std::uint32_t phase) {
  panel::GenerateElement(FirstElement(), phase);
}
void MS_STDCALL ElementDraw() { panel::CallElementService(panel::kElementDraw, FirstElement()); }
void MS_STDCALL ElementKill() { panel::CallElementService(panel::kElementKill, FirstElement()); }

void TellStartWaits() {
  // The table is tried every frame; the pilot is told once.
  if (simThread.startWaitLogged.exchange(true, std::memory_order_relaxed)) return;
  const auto path = ModuleFilePath("LVars.cfg");
  LogMessage("MP_START is set, but " + path.value_or(std::string("LVars.cfg")) +
             " is missing or lists no variable; the session starts once it does");
}

// "MP_START" starts the role once per module load, as soon as the shared
// table has an entry to share.
void StartRoleWhenAsked(bool tableLoaded) {
  if (CockpitValue(slot::kMpStart) == 0.0 || Load(roleSetup.roleStarted)) return;
  if (tableLoaded) {
    StartRole();
  } else {
    TellStartWaits();
  }
}

// The header, its element and its mouse list are writable: the simulator
// stores its own values into them. Fields not named are 0.

// A parent rectangle with a zero box, its end marker and the terminator.
MouseRect mouseRects[3] = {
    {.type = kMouseParent, .cursor = kNoCursor},
    {.type = kMouseEndOfParent, .cursor = kNoCursor},
    {.type = kMouseEnd, .cursor = kNoCursor},
};

StaticImageElement staticImage = {
    .header =
        {
            .elementType = 0,
            .resourceId = kElementResourceId,
            .gauge = &multiSharedGauge,
            .imageFlags = kElementImageFlags,
        },
};
ElementHeader* const kElementList[2] = {&staticImage.header, nullptr};

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
    .sizeXmm = kGaugeSizeXmm,
    .mouseRects = mouseRects,
    .gaugeCallback = GaugeCallback,
};

namespace {
constexpr int kWaitPauseMs = 10;
constexpr int kWaitLinesEveryPause = 100;
constexpr int kPausesBetweenLaterWaitLines = 1000;
}  // namespace

void RunShutdownHandshake() {
  // The line goes first: once the stop is requested the send thread logs its
  // own shutdown lines, which must follow this one.
  LogMessage("Thread close initiated");
  // A role that has already finished keeps its 2, so that the kill of a
  // reloaded gauge does not wait for threads that are gone.
  std::int32_t running = shutdown_state::kRunning;
  roleState.shutdownState.compare_exchange_strong(running, shutdown_state::kStopRequested);
  // A line every pause for the first second, then one every 10 s, so that a
  // long wait cannot fill the log.
  for (int pauses = 0;
       Load(roleSetup.roleStarted) &&
       roleState.shutdownState.load(std::memory_order_acquire) != shutdown_state::kFinished;
       ++pauses) {
    if (pauses < kWaitLinesEveryPause || pauses % kPausesBetweenLaterWaitLines == 0) {
      LogMessage("Waiting for thread close");
    }
    platform::SleepMs(kWaitPauseMs);
  }
  LogMessage("Thread Close Process Completed");
}

void MS_STDCALL GaugeCallback(GaugeHeader*, std::int32_t service, std::uint32_t) {
  assert(OnSimulatorThread());
  switch (service) {
    case kServicePreInitialize:
      Store(simThread.lvarCount, 0);
      RegisterFixedVariables();
      ResolveFixedVariables();
      break;
    case kServicePreUpdate:
      PollFixedVariables();
      StartRoleWhenAsked(LoadLVarTable());
      PollLVarTable();
      break;
    case kServicePreKill:
      RunShutdownHandshake();
      break;
    default:
      break;
  }
}
