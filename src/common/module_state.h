// The module's state: one context, read the same way by every subsystem, in
// four groups by the thread that writes them. A field written by one thread
// and read by another is an atomic (relaxed, except shutdownState, whose
// stores and loads order the stop).
//
// Threads:
//   simulator thread - ModuleInit/ModuleDeinit, the gauge callback,
//     SimConnectDispatch and the key-event relay;
//   role threads - the running role's send and receive threads ("ms-send",
//     "ms-receive"), the client's connect thread, the lookup and router
//     threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/follow_track.h"
#include "common/lvar_entry.h"
#include "common/shared_state.h"
#include "common/simconnect_api.h"
#include "platform/platform.h"

class ServerGame;
class ClientGame;

// Written by the simulator thread only.
struct SimThreadState {
  SharedState* sharedState = nullptr;
  SimConnectHandle simConnect = nullptr;
  SimConnectResult lastSimConnectResult = 0;
  double setDataScratch = 0.0;
  // The key event that the marker events announce as replayed here from the
  // peer, so that the relay does not send it back.
  std::atomic<std::uint32_t> suppressEvent{0};
  std::atomic<std::uint32_t> suppressData{0};
  // The shared named-variable table: written only while no role runs, so the
  // entries are stable by index while a role reads them.
  std::vector<std::unique_ptr<LVarEntry>> lvarTable;
  std::atomic<std::uint32_t> lvarCount{0};
  // "MP_START" waits for an empty table: told once per module load.
  std::atomic<bool> startWaitLogged{false};
  // The close follow's record of the stream it projects.
  FollowTrack followTrack;
};

// Written by the simulator thread at role start, before the role threads
// exist (and when a start is undone); read by them afterwards.
struct RoleSetup {
  std::atomic<bool> roleStarted{false};
  // The send thread joins the receive thread and clears this handle as the
  // role ends; the simulator thread no longer reads it by then.
  platform::ThreadHandle receiveThreadHandle = platform::kNoThread;
  platform::ThreadHandle sendThreadHandle = platform::kNoThread;
  // SharedConfig.cfg's first two lines, as text.
  std::string peerAddress;
  std::string basePort;
  // SharedConfig.cfg's option "any": records from every address are heard.
  std::atomic<bool> anySourceAllowed{false};
  // Not SharedConfig.cfg's option "no upnp": the router is asked to open
  // the ports.
  std::atomic<bool> routerMappingAllowed{true};
  // Not turned off by SharedConfig.cfg's option "plain protocol": this side greets a new connection
  // with a hello and, when the peer answers with its own, keeps the two
  // cockpits the same under one owner rule (net/peer_talk.h).
  std::atomic<bool> extensionAllowed{true};
  // A random number for this session, so that the peer tells a restarted
  // simulator from one that kept running.
  std::atomic<std::uint64_t> sessionId{0};
  // The named-variable table's names and categories, as one number.
  std::atomic<std::uint64_t> tableFingerprint{0};
  // SharedConfig.cfg's option "close follow": the following aircraft eases
  // toward the flying one's state projected to now (simlink/close_follow.h).
  std::atomic<bool> closeFollow{false};
};

namespace shutdown_state {
inline constexpr std::int32_t kRunning = 0;
inline constexpr std::int32_t kStopRequested = 1;
inline constexpr std::int32_t kFinished = 2;
}  // namespace shutdown_state

// The running role's: written by its threads, and by the simulator thread
// when it starts or stops the role.
struct RoleState {
  // The simulator thread requests the stop; the send thread reports it done.
  std::atomic<std::int32_t> shutdownState{shutdown_state::kRunning};
  // 1: this instance follows its peer. The receive thread swaps it.
  std::atomic<std::uint8_t> isFollower{0};
  // The role objects; also guarded by roleGuard, so that a key event relayed
  // on the simulator thread never sends through an object the send thread is
  // deleting.
  std::atomic<ServerGame*> serverGame{nullptr};
  std::atomic<ClientGame*> clientGame{nullptr};
  std::mutex roleGuard;
  // The address line 1's host name resolved to, network order, once known
  // (the lookup thread writes it); 0 while unknown.
  std::atomic<std::uint32_t> resolvedPeerIpv4{0};
  // The gear handle position just applied from the peer (the receive thread
  // stores it before it asks the simulator), not a number when none is
  // pending: once the aircraft shows it, the send thread takes it as
  // agreed instead of sending it back.
  std::atomic<double> gearFromPeer{std::numeric_limits<double>::quiet_NaN()};
};

namespace connection_status {
inline constexpr std::uint8_t kNothingYet = 0;
inline constexpr std::uint8_t kConnected = 1;
inline constexpr std::uint8_t kFailedOrClosed = 2;
}  // namespace connection_status

// The reliable link's, written by whichever role thread saw it change.
struct LinkState {
  std::atomic<std::uint8_t> connectionStatus{connection_status::kNothingYet};
  std::atomic<std::int32_t> connectedClientCount{0};
  // Counts the reliable connections made (accepted or connected); a send loop
  // that sees it move knows the peer is new or back.
  std::atomic<std::uint32_t> connectionGeneration{0};
  // What the current connection's other end is (peer_kind::k...).
  std::atomic<std::uint8_t> peerKind{0};
  // The peer's sync switches, as its latest hello told them.
  std::atomic<bool> peerDisplaySync{false};
  std::atomic<bool> peerWeatherSync{false};
  // This session has exchanged hellos with its peer before: a connection
  // made after that is a reconnect, not a first meeting.
  std::atomic<bool> helloExchanged{false};
  // The current peer's hello named the same table as this side's, so that
  // digests, which name positions, can be compared.
  std::atomic<bool> peerTableSame{false};
  // Counts the exchanges the hellos asked for; the send thread sends each.
  std::atomic<std::uint32_t> exchangesAsked{0};
};

namespace peer_kind {
inline constexpr std::uint8_t kUnknown = 0;    // the connection has said nothing yet
inline constexpr std::uint8_t kPlain = 1;      // it began with no hello
inline constexpr std::uint8_t kExtension = 2;  // it began with a hello
}  // namespace peer_kind

struct ModuleState {
  SimThreadState simThread;
  RoleSetup roleSetup;
  RoleState roleState;
  LinkState linkState;
  // The thread that ran ModuleInit, for the owner checks of debug builds.
  std::atomic<std::uint64_t> simulatorThreadId{0};
};

// The one instance, and its groups by name. The names are constant
// references, so that a use costs no more than a plain global's.
extern ModuleState moduleState;
inline constexpr SimThreadState& simThread = moduleState.simThread;
inline constexpr RoleSetup& roleSetup = moduleState.roleSetup;
inline constexpr RoleState& roleState = moduleState.roleState;
inline constexpr LinkState& linkState = moduleState.linkState;

// Replaces the whole state by a freshly made one, as a test starts; only
// while no thread of the module runs.
void FreshModuleState();

// Records the calling thread as the simulator thread (ModuleInit).
void NoteSimulatorThread();
// True on the simulator thread, or while none is recorded (a test that drives
// the parts without loading the module). Debug builds assert it where the
// simulator thread's groups are written.
bool OnSimulatorThread();

// Relaxed loads and stores, the common case for these fields.
template <typename T>
T Load(const std::atomic<T>& a) {
  return a.load(std::memory_order_relaxed);
}
template <typename T, typename U>
void Store(std::atomic<T>& a, U v) {
  a.store(static_cast<T>(v), std::memory_order_relaxed);
}

// The value of a cockpit slot (slot::k...) as last stored.
inline double CockpitValue(std::size_t slot) {
  return Load(moduleState.simThread.sharedState->vars->value[slot]);
}

// How many entries of the named-variable table may be read by index: those
// counted as loaded, and never past the table's end.
inline std::uint32_t LoadedEntryCount() {
  const SimThreadState& s = moduleState.simThread;
  return static_cast<std::uint32_t>(std::min<std::size_t>(Load(s.lvarCount), s.lvarTable.size()));
}
