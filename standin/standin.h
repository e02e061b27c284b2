// The stand-in simulator: the panel services, the SimConnect connection and a
// simple aircraft that a machine without the real simulator lacks. Tests link
// it directly; the program simhost wraps it around a loaded module.
//
// Threading: named-variable services and TriggerKeyEvent may be called from
// any thread; calls from threads other than the simulator's are counted
// (OffThreadCalls), since the real simulator promises nothing for them. Everything else (frames,
// delivery of SimConnect messages, performing queued key events) runs on the thread that drives the
// frames, the "simulator thread".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/simconnect_api.h"

namespace standin {

class Trace;  // trace.h: JSON Lines output, optional

// ---- Panel services ----------------------------------------------------

// The table of pointer-sized slots to store in the module's ImportTable.
void* const* PanelTable();

// Who wrote a named variable or raised a key event, as the trace says it.
enum class By { kModule, kScript };

// Named variables, as the cockpit (script, tests) sees them.
// Identifiers count from 0 in the order names become known, as the
// simulator's do; the panel table's find service answers -1 for an unknown name.
std::uint32_t CreateNamed(const std::string& name);  // makes the name known; its stable id
std::optional<std::uint32_t> FindNamed(const std::string& name);  // nothing for an unknown name
std::optional<double> ReadNamed(const std::string& name);
void WriteNamed(const std::string& name, double value, By by = By::kScript);  // creates if needed

// Key events: queued from any thread, performed in order on the simulator
// thread by PerformKeyEvents(), each handed to every hooked handler.
void RaiseKeyEvent(std::uint32_t id, std::uint32_t data, By by = By::kScript);
void PerformKeyEvents();
struct KeyEvent {
  std::uint32_t id;
  std::uint32_t data;
  By by;
};
std::vector<KeyEvent> PerformedKeyEvents();  // every event performed so far, in order
std::size_t HookedHandlerCount();

// Counts of calls the module made, for tests.
struct PanelCallCounts {
  int releasePanelResources = 0;
  int elementCalls = 0;
};
PanelCallCounts PanelCalls();

// ---- SimConnect --------------------------------------------------------

struct DefinitionEntry {
  SimConnectDword defineId;
  std::string simVar;
  std::string unit;
  SimConnectDword datumType;
  float epsilon;
  SimConnectDword datumId;
};
struct DataRequest {
  SimConnectDword requestId, defineId, objectId, period, flags, origin, interval, limit;
};
struct SetDataCall {
  SimConnectDword defineId;
  double value;
};
struct ClientEventCall {
  SimConnectDword objectId, eventId, data, groupId, flags;
};

// A SimConnect message as the stand-in hands it to the dispatch callback, in
// 8-byte aligned storage.
struct RecvMessage {
  std::vector<std::uint64_t> words;
  SimConnectDword size = 0;
  SimConnectRecv* Recv() { return reinterpret_cast<SimConnectRecv*>(words.data()); }
};
// The SIMOBJECT_DATA message that answers `request`, in the published layout:
// the header, then `values` from byte offset 40. Tests and benchmarks hand
// such messages to the module's dispatch callback themselves.
RecvMessage DataMessage(const DataRequest& request, const std::vector<double>& values);

// When set, SimConnect_Open fails with this result (E_FAIL style, non-zero).
void FailNextOpen(SimConnectResult result);
bool ConnectionOpen();
std::vector<DefinitionEntry> Definitions();  // every AddToDataDefinition, in call order
std::vector<std::pair<SimConnectDword, std::string>> SystemEventSubscriptions();
std::vector<DataRequest> DataRequests();
std::vector<SetDataCall> SetDataCalls();  // every SetDataOnSimObject, in order
std::vector<ClientEventCall> ClientEventCalls();

// Message delivery to the registered dispatch callback (simulator thread).
// The OPEN message is queued by CallDispatch; "SimStart" by a flight start.
void QueueSimStart();
void QueueClientEvent(SimConnectDword eventId, SimConnectDword data);
// An exception message naming the failed call's send id and parameter.
void QueueException(SimConnectDword exception, SimConnectDword sendId, SimConnectDword index);
// The quit message: the simulator ends the connection. Nothing is delivered after
// it, and every later call on the handle fails (E_FAIL).
void QueueQuit();
// Calls that failed for their handle (no connection open, another handle, or
// after the quit message), since Reset().
std::size_t RefusedCalls();
// Delivers queued messages, then SIMOBJECT_DATA for every active request
// whose definition's values changed since the last delivery.
void DeliverMessages();

// ---- Aircraft ------------------------------------------------------------

// The stand-in aircraft's simulation variables by SimConnect name
// ("PLANE LATITUDE", ...); every variable of definition 34 exists.
double AircraftVariable(const std::string& simVar);
void SetAircraftVariable(const std::string& simVar, double value);
// Flight targets of the script's "fly" command.
void Fly(double bankDeg, double pitchDeg, double speedKt, double verticalSpeedFpm);
void SetGearHandle(bool down);
void SetParkingBrake(bool set);
// Moves the aircraft by dt seconds toward its targets.
void AdvanceAircraft(double dtSeconds);
// Writes the aircraft's trace record (simhost: once a frame).
void TraceAircraft();

// ---- Threads -------------------------------------------------------------

// The calling thread becomes the simulator's thread: the one that drives the
// frames and delivers SimConnect messages (Reset() marks its caller too).
void MarkSimulatorThread();
// Calls of one service that came from any other thread.
struct ServiceCalls {
  std::string service;
  std::uint64_t count;
};
// Every service called off the simulator's thread since Reset(), in a fixed
// order; services never called so are left out.
std::vector<ServiceCalls> OffThreadCalls();

// ---- Whole simulator ---------------------------------------------------

// Clears all named variables, key events, hooks, SimConnect state, the
// aircraft, the off-thread counts and the trace, and makes the caller the
// simulator's thread (tests start from here).
void Reset();
// The trace that records what happens, or none.
void SetTrace(Trace* trace);

}  // namespace standin
