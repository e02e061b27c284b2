// The module's entry: the two exported records and the start and stop
// routines the simulator calls through them.
#include "module/module.h"

#include "module/gauge.h"
#include "module/globals.h"
#include "module/panel_services.h"
#include "simlink/dispatch.h"
#include "simlink/key_event_relay.h"
#include "simlink/session_health.h"

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

void MS_STDCALL ModuleInit() {
  panel::HookKeyEvents(KeyEventRelay, nullptr);
  if (createdSharedState == nullptr) createdSharedState = new SharedState();
  sharedState = createdSharedState;
  sharedState->vars = new CockpitVars();
  sharedState->aircraft = new AircraftState();
  sharedState->axisToggle = new AxisToggle();
  lastSimConnectResult = SimConnect_Open(&simConnect, "QuelvoMultiplayer", nullptr, 0, nullptr, 0);
  NoteSessionOpen(lastSimConnectResult);
  if (SessionLive()) {
    lastSimConnectResult = SimConnect_CallDispatch(simConnect, SimConnectDispatch, nullptr);
  }
}

void MS_STDCALL ModuleDeinit() {
  // A role that still runs (no gauge kill came first) must stop before the
  // blocks its threads read are released.
  if (Load(roleStarted) &&
      shutdownState.load(std::memory_order_acquire) != shutdown_state::kFinished) {
    RunShutdownHandshake();
  }
  // The send thread still writes its last log line after it reports the role
  // finished; the simulator unloads the module after this returns, so the
  // thread must be gone by then.
  platform::WaitThread(sendThreadHandle);
  sendThreadHandle = platform::kNoThread;
  panel::UnhookKeyEvents(KeyEventRelay, nullptr);
  FlushSessionExceptions();
  // After a failed open or the simulator's quit the handle is not called.
  if (SessionLive()) {
    NoteSessionClosed();
    lastSimConnectResult = SimConnect_Close(simConnect);
  }
  delete sharedState->vars;
  delete sharedState->aircraft;
  delete sharedState->axisToggle;
  sharedState->vars = nullptr;
  sharedState->aircraft = nullptr;
  sharedState->axisToggle = nullptr;
  panel::ReleasePanelResources();
}
