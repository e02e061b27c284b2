// The part of the simulator's SimConnect client interface that the module
// uses: functions, message records and constants, in their published shapes.
// The module calls these; the simulator (or the stand-in) supplies them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callconv.h"

using SimConnectHandle = void*;
using SimConnectResult = std::int32_t;  // HRESULT: 0 is success
using SimConnectDword = std::uint32_t;

struct SimConnectRecv {
  SimConnectDword dwSize;
  SimConnectDword dwVersion;
  SimConnectDword dwID;
};

// Each message begins with the three words of SimConnectRecv.
struct SimConnectRecvOpen {
  SimConnectDword dwSize;
  SimConnectDword dwVersion;
  SimConnectDword dwID;
  char szApplicationName[256];
  SimConnectDword dwApplicationVersionMajor;
  SimConnectDword dwApplicationVersionMinor;
  SimConnectDword dwApplicationBuildMajor;
  SimConnectDword dwApplicationBuildMinor;
  SimConnectDword dwSimConnectVersionMajor;
  SimConnectDword dwSimConnectVersionMinor;
  SimConnectDword dwSimConnectBuildMajor;
  SimConnectDword dwSimConnectBuildMinor;
  SimConnectDword dwReserved1;
  SimConnectDword dwReserved2;
};

struct SimConnectRecvEvent {
  SimConnectDword dwSize;
  SimConnectDword dwVersion;
  SimConnectDword dwID;
  SimConnectDword uGroupID;
  SimConnectDword uEventID;
  SimConnectDword dwData;
};

struct SimConnectRecvSimObjectData {
  SimConnectDword dwSize;
  SimConnectDword dwVersion;
  SimConnectDword dwID;
  SimConnectDword dwRequestID;
  SimConnectDword dwObjectID;
  SimConnectDword dwDefineID;
  SimConnectDword dwFlags;
  SimConnectDword dwentrynumber;
  SimConnectDword dwoutof;
  SimConnectDword dwDefineCount;
  SimConnectDword dwData;  // first word of the data; the data runs on past the record
};

// An exception: the call that the send id names (SimConnect counts the
// packets a client sends) failed; dwIndex names its parameter, when known.
struct SimConnectRecvException {
  SimConnectDword dwSize;
  SimConnectDword dwVersion;
  SimConnectDword dwID;
  SimConnectDword dwException;
  SimConnectDword dwSendID;
  SimConnectDword dwIndex;
};

static_assert(sizeof(SimConnectRecv) == 12);
static_assert(sizeof(SimConnectRecvException) == 24);
static_assert(offsetof(SimConnectRecvEvent, uEventID) == 16 && sizeof(SimConnectRecvEvent) == 24);
static_assert(offsetof(SimConnectRecvSimObjectData, dwRequestID) == 12);
static_assert(offsetof(SimConnectRecvSimObjectData, dwDefineCount) == 36);
static_assert(offsetof(SimConnectRecvSimObjectData, dwData) == 40);
static_assert(offsetof(SimConnectRecvOpen, szApplicationName) == 12);

namespace simconnect {
inline constexpr SimConnectDword kRecvIdException = 1;
inline constexpr SimConnectDword kRecvIdOpen = 2;
inline constexpr SimConnectDword kRecvIdQuit = 3;
inline constexpr SimConnectDword kRecvIdEvent = 4;
inline constexpr SimConnectDword kRecvIdSimObjectData = 8;

inline constexpr SimConnectDword kUnused = 0xFFFFFFFFu;
inline constexpr SimConnectDword kObjectIdUser = 0;
inline constexpr SimConnectDword kDataTypeFloat64 = 4;
inline constexpr SimConnectDword kPeriodSimFrame = 3;
inline constexpr SimConnectDword kDataRequestFlagChanged = 1;
inline constexpr SimConnectDword kGroupPriorityStandard = 1900000000u;
inline constexpr SimConnectDword kEventFlagGroupIdIsPriority = 16;
}  // namespace simconnect

using SimConnectDispatchProc = void(MS_STDCALL*)(SimConnectRecv* data, SimConnectDword size,
                                                 void* context);

extern "C" {
SimConnectResult MS_STDCALL SimConnect_Open(SimConnectHandle* handle, const char* name,
                                            void* window, SimConnectDword userEventWin32,
                                            void* eventHandle, SimConnectDword configIndex);
SimConnectResult MS_STDCALL SimConnect_Close(SimConnectHandle handle);
SimConnectResult MS_STDCALL SimConnect_CallDispatch(SimConnectHandle handle,
                                                    SimConnectDispatchProc dispatch, void* context);
SimConnectResult MS_STDCALL SimConnect_SubscribeToSystemEvent(SimConnectHandle handle,
                                                              SimConnectDword eventId,
                                                              const char* systemEventName);
SimConnectResult MS_STDCALL SimConnect_AddToDataDefinition(
    SimConnectHandle handle, SimConnectDword defineId, const char* datumName, const char* unitsName,
    SimConnectDword datumType, float epsilon, SimConnectDword datumId);
SimConnectResult MS_STDCALL SimConnect_RequestDataOnSimObject(
    SimConnectHandle handle, SimConnectDword requestId, SimConnectDword defineId,
    SimConnectDword objectId, SimConnectDword period, SimConnectDword flags, SimConnectDword origin,
    SimConnectDword interval, SimConnectDword limit);
SimConnectResult MS_STDCALL SimConnect_SetDataOnSimObject(
    SimConnectHandle handle, SimConnectDword defineId, SimConnectDword objectId,
    SimConnectDword flags, SimConnectDword arrayCount, SimConnectDword unitSize, void* data);
SimConnectResult MS_STDCALL SimConnect_TransmitClientEvent(
    SimConnectHandle handle, SimConnectDword objectId, SimConnectDword eventId,
    SimConnectDword data, SimConnectDword groupId, SimConnectDword flags);
}
