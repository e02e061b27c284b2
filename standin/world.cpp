// The stand-in's aircraft as the script, the tests and simhost reach it, and
// the state shared by every part of the stand-in: lock, trace, reset.
#include <atomic>

#include "internal.h"
#include "trace.h"

namespace standin {

namespace {
std::atomic<Trace*> currentTrace{nullptr};
}  // namespace

std::mutex& SimulationMutex() {
  static std::mutex mutex;
  return mutex;
}

Aircraft& TheAircraft() {
  static Aircraft aircraft;
  return aircraft;
}

void Emit(const char* type, nlohmann::json fields) {
  if (Trace* trace = currentTrace.load()) trace->Write(type, std::move(fields));
}

const char* ByName(By by) { return by == By::kModule ? "module" : "script"; }

void SetTrace(Trace* trace) { currentTrace.store(trace); }

double AircraftVariable(const std::string& simVar) {
  std::lock_guard lock(SimulationMutex());
  return TheAircraft().Get(simVar);
}

void SetAircraftVariable(const std::string& simVar, double value) {
  std::lock_guard lock(SimulationMutex());
  TheAircraft().Set(simVar, value);
}

void Fly(double bankDeg, double pitchDeg, double speedKt, double verticalSpeedFpm) {
  std::lock_guard lock(SimulationMutex());
  TheAircraft().Fly(bankDeg, pitchDeg, speedKt, verticalSpeedFpm);
}

void SetGearHandle(bool down) { SetAircraftVariable("GEAR HANDLE POSITION", down ? 1.0 : 0.0); }

void SetParkingBrake(bool set) { SetAircraftVariable("BRAKE PARKING POSITION", set ? 1.0 : 0.0); }

void AdvanceAircraft(double dtSeconds) {
  std::lock_guard lock(SimulationMutex());
  TheAircraft().Advance(dtSeconds);
}

void TraceAircraft() {
  nlohmann::json fields;
  {
    std::lock_guard lock(SimulationMutex());
    const Aircraft& aircraft = TheAircraft();
    fields = {{"lat", aircraft.Get("PLANE LATITUDE")},
              {"lon", aircraft.Get("PLANE LONGITUDE")},
              {"alt", aircraft.Get("PLANE ALTITUDE")},
              {"heading", aircraft.Get("PLANE HEADING DEGREES TRUE")},
              {"pitch", aircraft.Get("PLANE PITCH DEGREES")},
              {"bank", aircraft.Get("PLANE BANK DEGREES")},
              {"vs", aircraft.Get("VERTICAL SPEED")},
              {"ias", aircraft.Get("AIRSPEED INDICATED")},
              {"gear", aircraft.Get("GEAR HANDLE POSITION")}};
  }
  Emit("aircraft", std::move(fields));
}

void Reset() {
  MarkSimulatorThread();
  ResetOffThreadCalls();
  ResetNamedValues();
  ResetKeyEvents();
  ResetPanelCounts();
  ResetSimConnect();
  {
    std::lock_guard lock(SimulationMutex());
    TheAircraft() = Aircraft();
  }
  SetTrace(nullptr);
}

}  // namespace standin
