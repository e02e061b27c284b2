#include "host.h"

#include <chrono>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "callconv.h"
#include "host_os.h"
#include "internal.h"
#include "record_reader.h"
#include "standin.h"
#include "trace.h"

namespace standin {

namespace {

using Clock = std::chrono::steady_clock;

using StartStopRoutine = void(MS_STDCALL*)();
using GaugeCallbackRoutine = void(MS_STDCALL*)(void* gauge, std::int32_t service,
                                               std::uint32_t extra);

// The gauge services simhost calls.
constexpr std::int32_t kPreInitialize = 4;
constexpr std::int32_t kPreUpdate = 6;
constexpr std::int32_t kPreKill = 12;

struct LoadedModule {
  void* library = nullptr;
  ModuleEntry entry;

  void Service(std::int32_t service) const {
    reinterpret_cast<GaugeCallbackRoutine>(entry.callback)(reinterpret_cast<void*>(entry.gauge),
                                                           service, 0);
  }
  void Call(std::uintptr_t routine) const { reinterpret_cast<StartStopRoutine>(routine)(); }
};

bool Load(const std::string& path, LoadedModule& module) {
  std::string error;
  module.library = OpenLibrary(path, &error);
  if (module.library == nullptr) {
    std::cerr << "simhost: cannot load module " << path << ": " << error << '\n';
    return false;
  }
  void* imports = LibrarySymbol(module.library, "ImportTable");
  void* linkage = LibrarySymbol(module.library, "Linkage");
  std::string refusal;
  if (imports == nullptr || linkage == nullptr) {
    refusal = std::string("has no ") + (imports == nullptr ? "ImportTable" : "Linkage");
  } else {
    auto read =
        ReadModuleRecords(reinterpret_cast<std::uintptr_t>(imports),
                          reinterpret_cast<std::uintptr_t>(linkage), sizeof(void*), ReadOwnMemory);
    if (auto* error = std::get_if<RecordError>(&read)) {
      refusal = "is refused: " + error->what;
    } else {
      module.entry = std::get<ModuleEntry>(read);
    }
  }
  if (!refusal.empty()) {
    std::cerr << "simhost: module " << path << " " << refusal << '\n';
    CloseLibrary(module.library);
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
      module.Service(kPreKill);
      module.Service(kPreInitialize);
      break;
    case Kind::kException:
      QueueException(command.id, command.data, command.index);
      break;
    case Kind::kSimConnectQuit:
      QueueQuit();
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
    module.Service(kPreUpdate);
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

// The services the module called off the frame thread, on stdout and in the
// trace, with their rate over the run.
void ReportOffThreadCalls(double seconds) {
  const std::vector<ServiceCalls> calls = OffThreadCalls();
  nlohmann::json counts = nlohmann::json::object();
  std::ostringstream line;
  line << "simhost: calls off the simulator thread in " << std::fixed << std::setprecision(1)
       << seconds << " s:";
  if (calls.empty()) line << " none";
  for (const ServiceCalls& c : calls) {
    counts[c.service] = c.count;
    line << ' ' << c.service << ' ' << c.count << " ("
         << (seconds > 0.0 ? static_cast<double>(c.count) / seconds : 0.0) << "/s)";
  }
  std::cout << line.str() << std::endl;
  Emit("off_thread_calls", {{"seconds", seconds}, {"calls", std::move(counts)}});
}

}  // namespace

int RunHost(const HostOptions& options, const std::vector<ScriptCommand>& script) {
  LoadedModule module;
  if (!Load(options.modulePath, module)) return 1;
  MarkSimulatorThread();
  // The aircraft's own gauges make their names known before any module loads.
  for (const std::string& name : options.aircraftVariables) CreateNamed(name);
  if (options.failOpen != 0) FailNextOpen(options.failOpen);
  const std::int64_t loadedNs = MonotonicNs();
  // The simulator stores its panel table's address in the import table.
  void* const* table = PanelTable();
  std::memcpy(reinterpret_cast<void*>(module.entry.panelsSlot), &table, sizeof table);
  module.Call(module.entry.start);
  module.Service(kPreInitialize);
  RunFrames(options, script, module);
  module.Service(kPreKill);
  module.Call(module.entry.stop);
  ReportOffThreadCalls(static_cast<double>(MonotonicNs() - loadedNs) / 1e9);
  CloseLibrary(module.library);
  return 0;
}

}  // namespace standin
