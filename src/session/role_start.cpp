#include "session/role_start.h"

#include <new>
#include <string>

#include "client/client_game.h"
#include "client/client_loops.h"
#include "lvars/fixed_ids.h"
#include "module/globals.h"
#include "server/server_game.h"
#include "server/server_loops.h"
#include "session/log.h"
#include "session/peer_lookup.h"
#include "session/router_mapping.h"
#include "session/session_config.h"

namespace {

constexpr RoleThreadStarter kPlatformThreads{platform::StartJoinableThread,
                                             platform::StartJoinableThread};

struct RoleParts {
  const char* loopStartLine;
  platform::JoinableRoutine sendLoop;
  platform::JoinableRoutine receiveLoop;
};

// Undoes a start that got its object but not both threads. The receive
// thread, if it runs, is told to stop and joined first.
template <typename Game>
void AbandonStart(std::atomic<Game*>& rolePointer) {
  if (receiveThreadHandle != platform::kNoThread) {
    Store(shutdownState, shutdown_state::kStopRequested);
    platform::WaitThread(receiveThreadHandle);
    receiveThreadHandle = platform::kNoThread;
  }
  Game* game = nullptr;
  {
    std::lock_guard<std::mutex> lock(roleGuard);
    game = rolePointer.exchange(nullptr);
  }
  delete game;
  StopRouterMapping();
  StopPeerLookup();
  platform::SocketsCleanup();
  Store(shutdownState, shutdown_state::kRunning);
  Store(roleStarted, false);
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
    Store(roleStarted, false);
    return false;
  }
  Store(rolePointer, game);
  receiveThreadHandle = starter.startReceive(parts.receiveLoop, nullptr);
  if (receiveThreadHandle == platform::kNoThread) {
    LogMessage("Role start failed: no receive thread");
    AbandonStart(rolePointer);
    return false;
  }
  sendThreadHandle = starter.startSend(parts.sendLoop, nullptr);
  if (sendThreadHandle == platform::kNoThread) {
    LogMessage("Role start failed: no send thread");
    AbandonStart(rolePointer);
    return false;
  }
  LogMessage(parts.loopStartLine);
  return true;
}

}  // namespace

void StartRole() { StartRole(kPlatformThreads); }

void StartRole(const RoleThreadStarter& starter) {
  CockpitVars& vars = *sharedState->vars;
  ReadSessionConfig();
  // The polled copy goes too, or the receive loop would still take the
  // request that this drops.
  WriteFixed(slot::kMpTgl, 0.0);
  Store(vars.value[slot::kMpTgl], 0.0);
  if (Load(roleStarted) || Load(vars.value[slot::kMpStart]) == 0.0) return;
  Store(serverGame, nullptr);
  Store(clientGame, nullptr);
  LogMessage("Launch");
  LogMessage("No of LVars in Table" + std::to_string(Load(lvarCount)));
  Store(roleStarted, true);
  Store(shutdownState, shutdown_state::kRunning);
  receiveThreadHandle = platform::kNoThread;
  bool started = false;
  const bool host = Load(vars.value[slot::kMpConn]) == 0.0;
  StartPeerLookup();
  // Off this thread: the router's answer, or its silence, never holds the
  // frame or the session's start.
  if (Load(routerMappingAllowed)) {
    StartRouterMapping(RolePorts(host));
  } else {
    LogMessage("Router: UPnP turned off by line 4 of SharedConfig.cfg; forward the ports by hand");
  }
  if (host) {
    Store(isFollower, 0);
    started = Launch(serverGame, {"serverLoop start", ServerSendLoop, ServerReceiveLoop}, starter);
  } else {
    Store(isFollower, 1);
    started = Launch(clientGame, {"clientLoop start", ClientSendLoop, ClientReceiveLoop}, starter);
  }
  if (!started) return;
  WriteFixed(slot::kMpStsId, Load(connectionStatus));
}
