#include "session/role_start.h"

#include <cassert>
#include <new>
#include <random>
#include <string>

#include "client/client_game.h"
#include "client/client_loops.h"
#include "common/log.h"
#include "common/log_limit.h"
#include "common/module_state.h"
#include "lvars/fixed_ids.h"
#include "lvars/table_compare.h"
#include "net/peer_lookup.h"
#include "net/peer_talk.h"
#include "server/server_game.h"
#include "server/server_loops.h"
#include "session/role_finish.h"
#include "session/router_mapping.h"
#include "session/session_config.h"

namespace {

// A number no other session of either simulator is likely to draw.
std::uint64_t NewSessionId() {
  std::random_device device;
  const std::uint64_t drawn = (std::uint64_t{device()} << 32) ^ device();
  return drawn ^ static_cast<std::uint64_t>(SteadyNowMs());
}

// What the hellos of this session say of it, and a fresh start for what
// the peer told an earlier one.
void BeginSessionTalk() {
  Store(roleSetup.sessionId, NewSessionId());
  Store(roleSetup.tableFingerprint,
        TableFingerprint(NamedEntriesOf(simThread.lvarTable, LoadedEntryCount())));
  Store(linkState.helloExchanged, false);
  Store(linkState.peerKind, peer_kind::kUnknown);
  peerTalk = PeerTalk{};
}

constexpr RoleThreadStarter kPlatformThreads{platform::StartJoinableThread,
                                             platform::StartJoinableThread};

struct RoleParts {
  const char* loopStartLine;
  platform::JoinableRoutine sendLoop;
  platform::JoinableRoutine receiveLoop;
};

// Undoes a start that got its object but not both threads. The receive
// thread, if it runs, is told to stop before it is joined.
void AbandonStart() {
  if (roleSetup.receiveThreadHandle != platform::kNoThread) {
    Store(roleState.shutdownState, shutdown_state::kStopRequested);
  }
  ReleaseRole();
  Store(roleState.shutdownState, shutdown_state::kRunning);
  Store(roleSetup.roleStarted, false);
}

// Builds the role object and starts its threads; false, with nothing left
// running, when one of them cannot be had. The receive thread starts first so
// that its handle is known before the send thread, which joins it, exists.
template <typename Game>
bool Launch(std::atomic<Game*>& rolePointer, const RoleParts& parts,
            const RoleThreadStarter& starter) {
  Game* game = new (std::nothrow) Game();
  if (game == nullptr) {
    LogMessage("Role start failed: no memory for the session");
    StopRouterMapping();
    StopPeerLookup();
    Store(roleSetup.roleStarted, false);
    return false;
  }
  Store(rolePointer, game);
  roleSetup.receiveThreadHandle = starter.startReceive(parts.receiveLoop, nullptr);
  if (roleSetup.receiveThreadHandle == platform::kNoThread) {
    LogMessage("Role start failed: no receive thread");
    AbandonStart();
    return false;
  }
  roleSetup.sendThreadHandle = starter.startSend(parts.sendLoop, nullptr);
  if (roleSetup.sendThreadHandle == platform::kNoThread) {
    LogMessage("Role start failed: no send thread");
    AbandonStart();
    return false;
  }
  LogMessage(parts.loopStartLine);
  return true;
}

// The send thread ends the role once its loop has stopped: it is the thread
// that outlives the other.
template <platform::JoinableRoutine SendLoop>
unsigned SendThenFinish(void* argument) {
  SendLoop(argument);
  FinishRole();
  return 0;
}

}  // namespace

void StartRole() { StartRole(kPlatformThreads); }

void StartRole(const RoleThreadStarter& starter) {
  assert(OnSimulatorThread());
  CockpitVars& vars = *simThread.sharedState->vars;
  ReadSessionConfig();
  // The polled copy goes too, or the receive loop would still take the
  // request that this drops.
  WriteFixed(slot::kMpTgl, 0.0);
  Store(vars.value[slot::kMpTgl], 0.0);
  if (Load(roleSetup.roleStarted) || Load(vars.value[slot::kMpStart]) == 0.0) return;
  Store(roleState.serverGame, nullptr);
  Store(roleState.clientGame, nullptr);
  LogMessage("Launch");
  LogMessage("No of LVars in Table" + std::to_string(Load(simThread.lvarCount)));
  Store(roleSetup.roleStarted, true);
  Store(roleState.shutdownState, shutdown_state::kRunning);
  BeginSessionTalk();
  roleSetup.receiveThreadHandle = platform::kNoThread;
  bool started = false;
  const bool host = Load(vars.value[slot::kMpConn]) == 0.0;
  StartPeerLookup();
  // Off this thread: the router's answer, or its silence, never holds the
  // frame or the session's start.
  if (Load(roleSetup.routerMappingAllowed)) {
    StartRouterMapping(RolePorts(host));
  } else {
    LogMessage(
        "Router: UPnP turned off by the option no upnp in SharedConfig.cfg; forward the ports by "
        "hand");
  }
  if (host) {
    Store(roleState.isFollower, 0);
    started =
        Launch(roleState.serverGame,
               {"serverLoop start", SendThenFinish<ServerSendLoop>, ServerReceiveLoop}, starter);
  } else {
    Store(roleState.isFollower, 1);
    started =
        Launch(roleState.clientGame,
               {"clientLoop start", SendThenFinish<ClientSendLoop>, ClientReceiveLoop}, starter);
  }
  if (!started) return;
  WriteFixed(slot::kMpStsId, Load(linkState.connectionStatus));
}
