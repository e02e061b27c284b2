// SimConnect as the stand-in offers it: the module's calls are recorded and
// act on the stand-in aircraft; messages wait in a queue until the simulator
// thread delivers them to the registered dispatch callback.
#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "internal.h"

namespace standin {

namespace {

constexpr SimConnectResult kFail = static_cast<SimConnectResult>(0x80004005u);  // E_FAIL
constexpr SimConnectDword kRecvVersion = 4;
constexpr std::size_t kDataOffset = offsetof(SimConnectRecvSimObjectData, dwData);

// The handle a successful open hands out; only its address matters.
char connectionToken;

struct PendingMessage {
  enum class Kind { kOpen, kSystemEvent, kClientEvent, kException, kQuit } kind;
  std::string systemEvent;
  SimConnectDword eventId = 0;  // the exception's code for kException
  SimConnectDword data = 0;     // the exception's send id
  SimConnectDword index = 0;    // the exception's parameter

  static PendingMessage Open() { return {Kind::kOpen, "", 0, 0, 0}; }
  static PendingMessage SystemEvent(const char* name) {
    return {Kind::kSystemEvent, name, 0, 0, 0};
  }
  static PendingMessage ClientEvent(SimConnectDword eventId, SimConnectDword data) {
    return {Kind::kClientEvent, "", eventId, data, 0};
  }
  static PendingMessage Exception(SimConnectDword code, SimConnectDword sendId,
                                  SimConnectDword index) {
    return {Kind::kException, "", code, sendId, index};
  }
  static PendingMessage Quit() { return {Kind::kQuit, "", 0, 0, 0}; }
};

struct ActiveRequest {
  DataRequest request;
  std::optional<std::vector<double>> lastSent;  // nothing sent yet
};

// A message ready for the callback; 8-byte words keep the doubles aligned.
using Message = RecvMessage;

struct Connection {
  bool open = false;
  // The quit message went out: the simulator has ended the connection, and every
  // later call on its handle fails.
  bool quitSent = false;
  // Calls that failed for their handle: none open, another one, or after quit.
  std::size_t refusedCalls = 0;
  SimConnectDispatchProc dispatch = nullptr;
  void* context = nullptr;
  std::optional<SimConnectResult> failNextOpen;
  std::deque<PendingMessage> pending;
  std::vector<DefinitionEntry> definitions;
  std::vector<std::pair<SimConnectDword, std::string>> subscriptions;
  std::vector<DataRequest> requests;
  std::vector<ActiveRequest> active;
  std::vector<SetDataCall> setDataCalls;
  std::vector<ClientEventCall> clientEventCalls;
};

// Only under SimulationMutex().
Connection& TheConnection() {
  static Connection connection;
  return connection;
}

// Whether the handle is the open connection's, which the simulator has not
// ended; a call that fails for its handle is counted and traced.
bool Valid(Connection& connection, SimConnectHandle handle, Service service, const char* call) {
  CountCall(service);
  if (!connection.quitSent && connection.open && handle == &connectionToken) return true;
  ++connection.refusedCalls;
  Emit("simconnect_refused", {{"call", call}});
  return false;
}

template <typename Record>
Message MakeMessage(const Record& record, std::size_t size) {
  Message message;
  message.words.assign((std::max(size, sizeof(Record)) + 7) / 8, 0);
  std::memcpy(message.words.data(), &record, sizeof(Record));
  message.size = static_cast<SimConnectDword>(size);
  return message;
}

Message OpenMessage() {
  SimConnectRecvOpen open{};
  open.dwSize = sizeof(open);
  open.dwVersion = kRecvVersion;
  open.dwID = simconnect::kRecvIdOpen;
  std::strncpy(open.szApplicationName, "MultiShared stand-in simulator",
               sizeof(open.szApplicationName) - 1);
  open.dwApplicationVersionMajor = 10;
  open.dwSimConnectVersionMajor = 10;
  open.dwSimConnectBuildMajor = 61259;
  return MakeMessage(open, sizeof(open));
}

Message ExceptionMessage(const PendingMessage& pending) {
  const SimConnectRecvException exception{sizeof(SimConnectRecvException),
                                          kRecvVersion,
                                          simconnect::kRecvIdException,
                                          pending.eventId,
                                          pending.data,
                                          pending.index};
  return MakeMessage(exception, sizeof(exception));
}

Message QuitMessage() {
  const SimConnectRecv quit{sizeof(SimConnectRecv), kRecvVersion, simconnect::kRecvIdQuit};
  return MakeMessage(quit, sizeof(quit));
}

Message EventMessage(SimConnectDword groupId, SimConnectDword eventId, SimConnectDword data) {
  const SimConnectRecvEvent event{
      sizeof(SimConnectRecvEvent), kRecvVersion, simconnect::kRecvIdEvent, groupId, eventId, data};
  return MakeMessage(event, sizeof(event));
}

}  // namespace

RecvMessage DataMessage(const DataRequest& request, const std::vector<double>& values) {
  SimConnectRecvSimObjectData header{};
  const std::size_t size = kDataOffset + values.size() * sizeof(double);
  header.dwSize = static_cast<SimConnectDword>(size);
  header.dwVersion = kRecvVersion;
  header.dwID = simconnect::kRecvIdSimObjectData;
  header.dwRequestID = request.requestId;
  header.dwObjectID = request.objectId;
  header.dwDefineID = request.defineId;
  header.dwFlags = request.flags;
  header.dwentrynumber = 1;
  header.dwoutof = 1;
  header.dwDefineCount = static_cast<SimConnectDword>(values.size());
  Message message = MakeMessage(header, size);
  std::memcpy(reinterpret_cast<char*>(message.words.data()) + kDataOffset, values.data(),
              values.size() * sizeof(double));
  return message;
}

namespace {

// The pending message as it goes out, or nothing (a system event that the
// client has not subscribed to is not delivered; nothing follows a quit).
std::optional<Message> Render(Connection& connection, const PendingMessage& pending) {
  if (connection.quitSent) return std::nullopt;
  switch (pending.kind) {
    case PendingMessage::Kind::kException:
      Emit("simconnect_exception",
           {{"exception", pending.eventId}, {"send_id", pending.data}, {"index", pending.index}});
      return ExceptionMessage(pending);
    case PendingMessage::Kind::kQuit:
      connection.quitSent = true;
      Emit("simconnect_quit", nlohmann::json::object());
      return QuitMessage();
    case PendingMessage::Kind::kOpen:
      return OpenMessage();
    case PendingMessage::Kind::kClientEvent:
      return EventMessage(0, pending.eventId, pending.data);
    case PendingMessage::Kind::kSystemEvent:
      for (const auto& [eventId, name] : connection.subscriptions) {
        if (name == pending.systemEvent) return EventMessage(simconnect::kUnused, eventId, 0);
      }
      return std::nullopt;
  }
  return std::nullopt;
}

std::vector<double> DefinitionValues(const Connection& connection, SimConnectDword defineId) {
  std::vector<double> values;
  for (const DefinitionEntry& entry : connection.definitions) {
    if (entry.defineId == defineId) values.push_back(TheAircraft().Get(entry.simVar));
  }
  return values;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The data messages due this frame, by the period and flags of each request.
std::vector<Message> DueDataMessages(Connection& connection) {
  std::vector<Message> due;
  for (ActiveRequest& active : connection.active) {
    const DataRequest& request = active.request;
    if (request.period == 0) continue;                     // SIMCONNECT_PERIOD_NEVER
    if (request.period == 1 && active.lastSent) continue;  // SIMCONNECT_PERIOD_ONCE
    std::vector<double> values = DefinitionValues(connection, request.defineId);
    const bool changedOnly = (request.flags & simconnect::kDataRequestFlagChanged) != 0;
    if (changedOnly && active.lastSent && SameBits(*active.lastSent, values)) continue;
    due.push_back(DataMessage(request, values));
    active.lastSent = std::move(values);
  }
  return due;
}

void Dispatch(SimConnectDispatchProc dispatch, void* context, Message& message) {
  if (dispatch != nullptr) dispatch(message.Recv(), message.size, context);
}

}  // namespace

void FailNextOpen(SimConnectResult result) {
  std::lock_guard lock(SimulationMutex());
  TheConnection().failNextOpen = result;
}

bool ConnectionOpen() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().open;
}

std::vector<DefinitionEntry> Definitions() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().definitions;
}

std::vector<std::pair<SimConnectDword, std::string>> SystemEventSubscriptions() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().subscriptions;
}

std::vector<DataRequest> DataRequests() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().requests;
}

std::vector<SetDataCall> SetDataCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().setDataCalls;
}

std::vector<ClientEventCall> ClientEventCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().clientEventCalls;
}

void QueueSimStart() {
  std::lock_guard lock(SimulationMutex());
  TheConnection().pending.push_back(PendingMessage::SystemEvent("SimStart"));
}

void QueueClientEvent(SimConnectDword eventId, SimConnectDword data) {
  std::lock_guard lock(SimulationMutex());
  TheConnection().pending.push_back(PendingMessage::ClientEvent(eventId, data));
}

void DeliverMessages() {
  // The callback runs without the lock: the module calls SimConnect from it.
  for (;;) {
    std::optional<Message> message;
    SimConnectDispatchProc dispatch = nullptr;
    void* context = nullptr;
    {
      std::lock_guard lock(SimulationMutex());
      Connection& connection = TheConnection();
      if (connection.pending.empty()) break;
      const PendingMessage pending = std::move(connection.pending.front());
      connection.pending.pop_front();
      message = Render(connection, pending);
      dispatch = connection.dispatch;
      context = connection.context;
    }
    if (message) Dispatch(dispatch, context, *message);
  }
  std::vector<Message> data;
  SimConnectDispatchProc dispatch = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(SimulationMutex());
    Connection& connection = TheConnection();
    if (!connection.open || connection.quitSent || connection.dispatch == nullptr) return;
    data = DueDataMessages(connection);
    dispatch = connection.dispatch;
    context = connection.context;
  }
  for (Message& message : data) Dispatch(dispatch, context, message);
}

void QueueException(SimConnectDword exception, SimConnectDword sendId, SimConnectDword index) {
  std::lock_guard lock(SimulationMutex());
  TheConnection().pending.push_back(PendingMessage::Exception(exception, sendId, index));
}

void QueueQuit() {
  std::lock_guard lock(SimulationMutex());
  TheConnection().pending.push_back(PendingMessage::Quit());
}

std::size_t RefusedCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheConnection().refusedCalls;
}

void ResetSimConnect() {
  std::lock_guard lock(SimulationMutex());
  TheConnection() = Connection();
}

}  // namespace standin

using standin::Connection;
using standin::SimulationMutex;
using standin::TheConnection;

extern "C" {

SimConnectResult MS_STDCALL SimConnect_Open(SimConnectHandle* handle, const char*, void*,
                                            SimConnectDword, void*, SimConnectDword) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (connection.failNextOpen) {
    const SimConnectResult result = *connection.failNextOpen;
    connection.failNextOpen.reset();
    return result;
  }
  if (handle == nullptr) return standin::kFail;
  connection.open = true;
  connection.quitSent = false;
  *handle = &standin::connectionToken;
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_Close(SimConnectHandle handle) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kClose, "SimConnect_Close"))
    return standin::kFail;
  connection.open = false;
  connection.dispatch = nullptr;
  connection.context = nullptr;
  connection.pending.clear();
  connection.active.clear();
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_CallDispatch(SimConnectHandle handle,
                                                    SimConnectDispatchProc dispatch,
                                                    void* context) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kCallDispatch,
                      "SimConnect_CallDispatch") ||
      dispatch == nullptr)
    return standin::kFail;
  connection.dispatch = dispatch;
  connection.context = context;
  // The connection's first messages: it is open, and a flight is loaded.
  connection.pending.push_back(standin::PendingMessage::Open());
  connection.pending.push_back(standin::PendingMessage::SystemEvent("SimStart"));
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_SubscribeToSystemEvent(SimConnectHandle handle,
                                                              SimConnectDword eventId,
                                                              const char* systemEventName) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kSubscribeToSystemEvent,
                      "SimConnect_SubscribeToSystemEvent") ||
      systemEventName == nullptr)
    return standin::kFail;
  connection.subscriptions.emplace_back(eventId, systemEventName);
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_AddToDataDefinition(
    SimConnectHandle handle, SimConnectDword defineId, const char* datumName, const char* unitsName,
    SimConnectDword datumType, float epsilon, SimConnectDword datumId) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kAddToDataDefinition,
                      "SimConnect_AddToDataDefinition") ||
      datumName == nullptr)
    return standin::kFail;
  connection.definitions.push_back(
      {defineId, datumName, unitsName == nullptr ? "" : unitsName, datumType, epsilon, datumId});
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_RequestDataOnSimObject(
    SimConnectHandle handle, SimConnectDword requestId, SimConnectDword defineId,
    SimConnectDword objectId, SimConnectDword period, SimConnectDword flags, SimConnectDword origin,
    SimConnectDword interval, SimConnectDword limit) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kRequestDataOnSimObject,
                      "SimConnect_RequestDataOnSimObject"))
    return standin::kFail;
  const standin::DataRequest request{requestId, defineId, objectId, period,
                                     flags,     origin,   interval, limit};
  connection.requests.push_back(request);
  // A request made again under the same id replaces the old one and starts
  // afresh: its first delivery always carries the data.
  std::erase_if(connection.active,
                [&](const standin::ActiveRequest& a) { return a.request.requestId == requestId; });
  connection.active.push_back({request, std::nullopt});
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_SetDataOnSimObject(SimConnectHandle handle,
                                                          SimConnectDword defineId,
                                                          SimConnectDword objectId, SimConnectDword,
                                                          SimConnectDword, SimConnectDword unitSize,
                                                          void* data) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kSetDataOnSimObject,
                      "SimConnect_SetDataOnSimObject") ||
      data == nullptr || unitSize < sizeof(double)) {
    return standin::kFail;
  }
  // The data is the definition's doubles in definition order.
  const std::size_t count = unitSize / sizeof(double);
  std::vector<double> values(count);
  std::memcpy(values.data(), data, count * sizeof(double));
  connection.setDataCalls.push_back({defineId, values.front()});
  if (objectId == simconnect::kObjectIdUser) {
    std::size_t next = 0;
    for (const standin::DefinitionEntry& entry : connection.definitions) {
      if (entry.defineId != defineId) continue;
      if (next == values.size()) break;
      standin::TheAircraft().Set(entry.simVar, values[next++]);
    }
  }
  standin::Emit("set_data", {{"definition", defineId}, {"value", values.front()}});
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_TransmitClientEvent(
    SimConnectHandle handle, SimConnectDword objectId, SimConnectDword eventId,
    SimConnectDword data, SimConnectDword groupId, SimConnectDword flags) {
  std::lock_guard lock(SimulationMutex());
  Connection& connection = TheConnection();
  if (!standin::Valid(connection, handle, standin::Service::kTransmitClientEvent,
                      "SimConnect_TransmitClientEvent"))
    return standin::kFail;
  connection.clientEventCalls.push_back({objectId, eventId, data, groupId, flags});
  standin::Emit("client_event", {{"event", eventId}, {"data", data}});
  return 0;
}

}  // extern "C"
