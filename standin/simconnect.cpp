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
char sessionToken;

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

struct Session {
  bool open = false;
  // The quit message went out: the simulator has ended the session, and every
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
Session& TheSession() {
  static Session session;
  return session;
}

// Whether the handle is the open session's, which the simulator has not
// ended; a call that fails for its handle is counted and traced.
bool Valid(Session& session, SimConnectHandle handle, Service service, const char* call) {
  CountCall(service);
  if (!session.quitSent && session.open && handle == &sessionToken) return true;
  ++session.refusedCalls;
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
std::optional<Message> Render(Session& session, const PendingMessage& pending) {
  if (session.quitSent) return std::nullopt;
  switch (pending.kind) {
    case PendingMessage::Kind::kException:
      Emit("simconnect_exception",
           {{"exception", pending.eventId}, {"send_id", pending.data}, {"index", pending.index}});
      return ExceptionMessage(pending);
    case PendingMessage::Kind::kQuit:
      session.quitSent = true;
      Emit("simconnect_quit", nlohmann::json::object());
      return QuitMessage();
    case PendingMessage::Kind::kOpen:
      return OpenMessage();
    case PendingMessage::Kind::kClientEvent:
      return EventMessage(0, pending.eventId, pending.data);
    case PendingMessage::Kind::kSystemEvent:
      for (const auto& [eventId, name] : session.subscriptions) {
        if (name == pending.systemEvent) return EventMessage(simconnect::kUnused, eventId, 0);
      }
      return std::nullopt;
  }
  return std::nullopt;
}

std::vector<double> DefinitionValues(const Session& session, SimConnectDword defineId) {
  std::vector<double> values;
  for (const DefinitionEntry& entry : session.definitions) {
    if (entry.defineId == defineId) values.push_back(TheAircraft().Get(entry.simVar));
  }
  return values;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The data messages due this frame, by the period and flags of each request.
std::vector<Message> DueDataMessages(Session& session) {
  std::vector<Message> due;
  for (ActiveRequest& active : session.active) {
    const DataRequest& request = active.request;
    if (request.period == 0) continue;                     // SIMCONNECT_PERIOD_NEVER
    if (request.period == 1 && active.lastSent) continue;  // SIMCONNECT_PERIOD_ONCE
    std::vector<double> values = DefinitionValues(session, request.defineId);
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
  TheSession().failNextOpen = result;
}

bool SessionOpen() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().open;
}

std::vector<DefinitionEntry> Definitions() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().definitions;
}

std::vector<std::pair<SimConnectDword, std::string>> SystemEventSubscriptions() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().subscriptions;
}

std::vector<DataRequest> DataRequests() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().requests;
}

std::vector<SetDataCall> SetDataCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().setDataCalls;
}

std::vector<ClientEventCall> ClientEventCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().clientEventCalls;
}

void QueueSimStart() {
  std::lock_guard lock(SimulationMutex());
  TheSession().pending.push_back(PendingMessage::SystemEvent("SimStart"));
}

void QueueClientEvent(SimConnectDword eventId, SimConnectDword data) {
  std::lock_guard lock(SimulationMutex());
  TheSession().pending.push_back(PendingMessage::ClientEvent(eventId, data));
}

void DeliverMessages() {
  // The callback runs without the lock: the module calls SimConnect from it.
  for (;;) {
    std::optional<Message> message;
    SimConnectDispatchProc dispatch = nullptr;
    void* context = nullptr;
    {
      std::lock_guard lock(SimulationMutex());
      Session& session = TheSession();
      if (session.pending.empty()) break;
      const PendingMessage pending = std::move(session.pending.front());
      session.pending.pop_front();
      message = Render(session, pending);
      dispatch = session.dispatch;
      context = session.context;
    }
    if (message) Dispatch(dispatch, context, *message);
  }
  std::vector<Message> data;
  SimConnectDispatchProc dispatch = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(SimulationMutex());
    Session& session = TheSession();
    if (!session.open || session.quitSent || session.dispatch == nullptr) return;
    data = DueDataMessages(session);
    dispatch = session.dispatch;
    context = session.context;
  }
  for (Message& message : data) Dispatch(dispatch, context, message);
}

void QueueException(SimConnectDword exception, SimConnectDword sendId, SimConnectDword index) {
  std::lock_guard lock(SimulationMutex());
  TheSession().pending.push_back(PendingMessage::Exception(exception, sendId, index));
}

void QueueQuit() {
  std::lock_guard lock(SimulationMutex());
  TheSession().pending.push_back(PendingMessage::Quit());
}

std::size_t RefusedCalls() {
  std::lock_guard lock(SimulationMutex());
  return TheSession().refusedCalls;
}

void ResetSimConnect() {
  std::lock_guard lock(SimulationMutex());
  TheSession() = Session();
}

}  // namespace standin

using standin::Session;
using standin::SimulationMutex;
using standin::TheSession;

extern "C" {

SimConnectResult MS_STDCALL SimConnect_Open(SimConnectHandle* handle, const char*, void*,
                                            SimConnectDword, void*, SimConnectDword) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (session.failNextOpen) {
    const SimConnectResult result = *session.failNextOpen;
    session.failNextOpen.reset();
    return result;
  }
  if (handle == nullptr) return standin::kFail;
  session.open = true;
  session.quitSent = false;
  *handle = &standin::sessionToken;
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_Close(SimConnectHandle handle) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kClose, "SimConnect_Close"))
    return standin::kFail;
  session.open = false;
  session.dispatch = nullptr;
  session.context = nullptr;
  session.pending.clear();
  session.active.clear();
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_CallDispatch(SimConnectHandle handle,
                                                    SimConnectDispatchProc dispatch,
                                                    void* context) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kCallDispatch,
                      "SimConnect_CallDispatch") ||
      dispatch == nullptr)
    return standin::kFail;
  session.dispatch = dispatch;
  session.context = context;
  // The session's first messages: it is open, and a flight is loaded.
  session.pending.push_back(standin::PendingMessage::Open());
  session.pending.push_back(standin::PendingMessage::SystemEvent("SimStart"));
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_SubscribeToSystemEvent(SimConnectHandle handle,
                                                              SimConnectDword eventId,
                                                              const char* systemEventName) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kSubscribeToSystemEvent,
                      "SimConnect_SubscribeToSystemEvent") ||
      systemEventName == nullptr)
    return standin::kFail;
  session.subscriptions.emplace_back(eventId, systemEventName);
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_AddToDataDefinition(
    SimConnectHandle handle, SimConnectDword defineId, const char* datumName, const char* unitsName,
    SimConnectDword datumType, float epsilon, SimConnectDword datumId) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kAddToDataDefinition,
                      "SimConnect_AddToDataDefinition") ||
      datumName == nullptr)
    return standin::kFail;
  session.definitions.push_back(
      {defineId, datumName, unitsName == nullptr ? "" : unitsName, datumType, epsilon, datumId});
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_RequestDataOnSimObject(
    SimConnectHandle handle, SimConnectDword requestId, SimConnectDword defineId,
    SimConnectDword objectId, SimConnectDword period, SimConnectDword flags, SimConnectDword origin,
    SimConnectDword interval, SimConnectDword limit) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kRequestDataOnSimObject,
                      "SimConnect_RequestDataOnSimObject"))
    return standin::kFail;
  const standin::DataRequest request{requestId, defineId, objectId, period,
                                     flags,     origin,   interval, limit};
  session.requests.push_back(request);
  // A request made again under the same id replaces the old one and starts
  // afresh: its first delivery always carries the data.
  std::erase_if(session.active,
                [&](const standin::ActiveRequest& a) { return a.request.requestId == requestId; });
  session.active.push_back({request, std::nullopt});
  return 0;
}

SimConnectResult MS_STDCALL SimConnect_SetDataOnSimObject(SimConnectHandle handle,
                                                          SimConnectDword defineId,
                                                          SimConnectDword objectId, SimConnectDword,
                                                          SimConnectDword, SimConnectDword unitSize,
                                                          void* data) {
  std::lock_guard lock(SimulationMutex());
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kSetDataOnSimObject,
                      "SimConnect_SetDataOnSimObject") ||
      data == nullptr || unitSize < sizeof(double)) {
    return standin::kFail;
  }
  // The data is the definition's doubles in definition order.
  const std::size_t count = unitSize / sizeof(double);
  std::vector<double> values(count);
  std::memcpy(values.data(), data, count * sizeof(double));
  session.setDataCalls.push_back({defineId, values.front()});
  if (objectId == simconnect::kObjectIdUser) {
    std::size_t next = 0;
    for (const standin::DefinitionEntry& entry : session.definitions) {
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
  Session& session = TheSession();
  if (!standin::Valid(session, handle, standin::Service::kTransmitClientEvent,
                      "SimConnect_TransmitClientEvent"))
    return standin::kFail;
  session.clientEventCalls.push_back({objectId, eventId, data, groupId, flags});
  standin::Emit("client_event", {{"event", eventId}, {"data", data}});
  return 0;
}

}  // extern "C"
