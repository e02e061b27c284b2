#include "common/module_state.h"

#include <memory>

ModuleState moduleState;

void FreshModuleState() {
  std::destroy_at(&moduleState);
  std::construct_at(&moduleState);
}

void NoteSimulatorThread() { Store(moduleState.simulatorThreadId, platform::CurrentThreadId()); }

bool OnSimulatorThread() {
  const std::uint64_t id = Load(moduleState.simulatorThreadId);
  return id == 0 || id == platform::CurrentThreadId();
}
