// The module's entry: the two exported records and the start and stop
// routines the simulator calls through them.
#include "module/module.h"

#include "common/module_state.h"
#include "common/panel_services.h"
#include "module/gauge.h"
#include "simlink/dispatch.h"
#include "simlink/key_event_relay.h"
#include "simlink/simconnect_health.h"

namespace {
// The one SharedState of the process, created by the first start and kept
// for the life of the process.
SharedState* createdSharedState = nullptr;
}  // namespace

extern "C" {
MS_EXPORT ImportTableRecord ImportTable = {kPanelsImportId, nullptr, 0, nullptr};

MS_EXPORT LinkageRecord Linkage = {
    .moduleId = kModuleId,
    .moduleInit = ModuleInit,
    .moduleDeinit = ModuleDeinit,
    .flags = 0,
    .priority = 0,
    .moduleVersion = kModuleVersion,
    .gauges = {&multiSharedGauge, nullptr},
};
}

const PanelServiceTable& panel::panelServices = ImportTable.panels;

void MS_STDCALL ModuleInit() {
  NoteSimulatorThread();
  panel::HookKeyEvents(KeyEventRelay, nullptr);
  if (createdSharedState == nullptr) createdSharedState = new SharedState();
  simThread.sharedState = createdSharedState;
  simThread.sharedState->vars = new CockpitVars();
  simThread.sharedState->aircraft = new AircraftState();
  simThread.sharedState->axisToggle = new AxisToggle();
  simThread.lastSimConnectResult =
      SimConnect_Open(&simThread.simConnect, "QuelvoMultiplayer", nullptr, 0, nullptr, 0);
  NoteSimConnectOpen(simThread.lastSimConnectResult);
  if (SimConnectLive()) {
    simThread.lastSimConnectResult =
        SimConnect_CallDispatch(simThread.simConnect, SimConnectDispatch, nullptr);
  }
}

void MS_STDCALL ModuleDeinit() {
  // A role that still runs (no gauge kill came first) must stop before the
  // blocks its threads read are released.
  if (Load(roleSetup.roleStarted) &&
      roleState.shutdownState.load(std::memory_order_acquire) != shutdown_state::kFinished) {
    RunShutdownHandshake();
  }
  // The send thread still writes its last log line after it reports the role
  // finished; the simulator unloads the module after this returns, so the
  // thread must be gone by then.
  platform::WaitThread(roleSetup.sendThreadHandle);
  roleSetup.sendThreadHandle = platform::kNoThread;
  panel::UnhookKeyEvents(KeyEventRelay, nullptr);
  FlushSimConnectExceptions();
  // After a failed open or the simulator's quit the handle is not called.
  if (SimConnectLive()) {
    NoteSimConnectClosed();
    simThread.lastSimConnectResult = SimConnect_Close(simThread.simConnect);
  }
  delete simThread.sharedState->vars;
  delete simThread.sharedState->aircraft;
  delete simThread.sharedState->axisToggle;
  simThread.sharedState->vars = nullptr;
  simThread.sharedState->aircraft = nullptr;
  simThread.sharedState->axisToggle = nullptr;
  panel::ReleasePanelResources();
}
