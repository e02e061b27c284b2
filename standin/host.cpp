#include "host.h"

#include <dlfcn.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "module/module_records.h"
#include "standin.h"
#include "trace.h"

namespace standin {

namespace {

using Clock = std::chrono::steady_clock;

struct LoadedModule {
  void* library = nullptr;
  ImportTableRecord* imports = nullptr;
  LinkageRecord* linkage = nullptr;
  GaugeHeader* gauge = nullptr;

  void Service(std::int32_t service) const { gauge->gaugeCallback(gauge, service, 0); }
};

bool Load(const std::string& path, LoadedModule& module) {
  // Kept mapped after dlclose: the module keeps its SharedState for the life
  // of the process, and a leak checker must still find it reachable.
  module.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module.library == nullptr) {
    std::cerr << "simhost: cannot load module " << path << ": " << dlerror() << '\n';
    return false;
  }
  module.imports = static_cast<ImportTableRecord*>(dlsym(module.library, "ImportTable"));
  module.linkage = static_cast<LinkageRecord*>(dlsym(module.library, "Linkage"));
  const char* missing = module.imports == nullptr   ? "ImportTable"
                        : module.linkage == nullptr ? "Linkage"
                                                    : nullptr;
  if (missing == nullptr) {
    const LinkageRecord& linkage = *module.linkage;
    module.gauge = linkage.gauges == nullptr ? nullptr : linkage.gauges[0];
    if (linkage.moduleInit == nullptr || linkage.moduleDeinit == nullptr) {
      missing = "start or stop routine in Linkage";
    } else if (module.gauge == nullptr || module.gauge->gaugeCallback == nullptr) {
      missing = "gauge with a callback in Linkage";
    }
  }
  if (missing != nullptr) {
    std::cerr << "simhost: module " << path << " has no " << missing << '\n';
    dlclose(module.library);
    return false;
  }
  return true;
}

// Performs one script command; false when it ends the run.
bool Perform(const ScriptCommand& command, const LoadedModule& module) {
  using Kind = ScriptCommand::Kind;
  switch (command.kind) {
    case Kind::kSet:
      WriteNamed(command.name, command.value, By::kScript);
      break;
    case Kind::kKey:
      RaiseKeyEvent(command.id, command.data, By::kScript);
      break;
    case Kind::kEvent:
      QueueClientEvent(command.id, command.data);
      break;
    case Kind::kSimStart:
      QueueSimStart();
      break;
    case Kind::kFly:
      Fly(command.fly[0], command.fly[1], command.fly[2], command.fly[3]);
      break;
    case Kind::kGear:
      SetGearHandle(command.on);
      break;
    case Kind::kParkingBrake:
      SetParkingBrake(command.on);
      break;
    case Kind::kReload:
      module.Service(kServicePreKill);
      module.Service(kServicePreInitialize);
      break;
    case Kind::kQuit:
      return false;
  }
  return true;
}

void RunFrames(const HostOptions& options, const std::vector<ScriptCommand>& script,
               const LoadedModule& module) {
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / options.rateHz));
  auto lastFrame = Clock::now();
  auto nextFrame = lastFrame;
  std::size_t nextCommand = 0;
  for (;;) {
    const double elapsed = static_cast<double>(MonotonicNs() - options.startNs) / 1e9;
    for (; nextCommand < script.size() && script[nextCommand].time <= elapsed; ++nextCommand) {
      if (!Perform(script[nextCommand], module)) return;
    }
    if (elapsed >= options.durationSeconds) return;

    DeliverMessages();
    PerformKeyEvents();
    module.Service(kServicePreUpdate);
    // The aircraft moves by the time that really passed, so that a frame the
    // module held up (a blocking connect) does not slow the flight down.
    const auto now = Clock::now();
    AdvanceAircraft(std::chrono::duration<double>(now - lastFrame).count());
    lastFrame = now;
    TraceAircraft();

    nextFrame += period;
    if (nextFrame < Clock::now()) {
      nextFrame = Clock::now();  // behind after a stall: go on without a burst of frames
    } else {
      std::this_thread::sleep_until(nextFrame);
    }
  }
}

}  // namespace

int RunHost(const HostOptions& options, const std::vector<ScriptCommand>& script) {
  LoadedModule module;
  if (!Load(options.modulePath, module)) return 1;
  module.imports->panels = PanelTable();
  module.linkage->moduleInit();
  module.Service(kServicePreInitialize);
  RunFrames(options, script, module);
  module.Service(kServicePreKill);
  module.linkage->moduleDeinit();
  dlclose(module.library);
  return 0;
}

}  // namespace standin
