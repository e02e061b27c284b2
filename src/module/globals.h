// The module's globals: one context, read the same way by every subsystem.
//
// Threads and what they own:
//   simulator thread - ModuleInit/ModuleDeinit, GaugeCallback, SimConnectDispatch,
//     KeyEventRelay for the pilot's events. Writes simConnect, lastSimConnectResult,
//     setDataScratch, lvarTable/lvarCount (only while no role runs), roleStarted,
//     peerAddress/basePort/anySourceAllowed/receiveThreadHandle/sendThreadHandle (before the
//     role threads start), the role pointers at role start, shutdownState = 1 at gauge kill;
//     joins the send thread at module stop.
//   role send thread - writes shutdownState = 2 and resets the role pointer at the end.
//   role receive thread - writes isFollower (toggle, follower flag record).
//   any of them - connectionStatus (reliable endpoint results), LVarEntry fields.
// Everything written by one thread and read by another is an atomic. The role
// pointers are also guarded by roleGuard so that a key-event relay on the
// simulator thread never sends through an object the send thread is deleting.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lvars/lvar_entry.h"
#include "module/shared_state.h"
#include "platform/platform.h"
#include "simlink/simconnect_api.h"

class ServerGame;
class ClientGame;

// Module frame.
extern SharedState* sharedState;
extern SimConnectHandle simConnect;
extern SimConnectResult lastSimConnectResult;

// Simulator link.
extern double setDataScratch;
extern std::atomic<std::uint32_t> suppressEvent;
extern std::atomic<std::uint32_t> suppressData;

// Named-variable table: entries are stable by index while the table is loaded.
extern std::vector<std::unique_ptr<LVarEntry>> lvarTable;
extern std::atomic<std::uint32_t> lvarCount;
// "MP_START" waits for an empty table: told once per module load.
extern std::atomic<bool> startWaitLogged;

// Session.
extern std::atomic<bool> roleStarted;
extern std::atomic<std::int32_t> shutdownState;  // 0 running, 1 stop requested, 2 finished
extern std::atomic<std::uint8_t> isFollower;     // 1: this instance follows its peer
extern std::atomic<ServerGame*> serverGame;
extern std::atomic<ClientGame*> clientGame;
extern std::mutex roleGuard;
extern platform::ThreadHandle receiveThreadHandle;
extern platform::ThreadHandle sendThreadHandle;
extern std::string peerAddress;
extern std::string basePort;
// SharedConfig.cfg's third line "any": records from every address are heard.
extern std::atomic<bool> anySourceAllowed;
// Not SharedConfig.cfg's fourth line "no upnp": the router is asked to open
// the ports.
extern std::atomic<bool> routerMappingAllowed;
// The address line 1's host name resolved to, network order, once known (it
// is looked up off the simulator's thread); 0 while unknown.
extern std::atomic<std::uint32_t> resolvedPeerIpv4;

// Transport.
extern std::atomic<std::uint8_t> connectionStatus;  // 0 nothing yet, 1 connected, 2 failed/closed
extern std::atomic<std::int32_t> connectedClientCount;
// Counts the reliable connections made (accepted or connected); a send loop
// that sees it move knows the peer is new or back.
extern std::atomic<std::uint32_t> connectionGeneration;

namespace shutdown_state {
inline constexpr std::int32_t kRunning = 0;
inline constexpr std::int32_t kStopRequested = 1;
inline constexpr std::int32_t kFinished = 2;
}  // namespace shutdown_state

namespace connection_status {
inline constexpr std::uint8_t kNothingYet = 0;
inline constexpr std::uint8_t kConnected = 1;
inline constexpr std::uint8_t kFailedOrClosed = 2;
}  // namespace connection_status

// Relaxed loads and stores, the common case for these globals.
template <typename T>
T Load(const std::atomic<T>& a) {
  return a.load(std::memory_order_relaxed);
}
template <typename T, typename U>
void Store(std::atomic<T>& a, U v) {
  a.store(static_cast<T>(v), std::memory_order_relaxed);
}
