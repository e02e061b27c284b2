#include "session/role_finish.h"

#include "client/client_game.h"
#include "common/log.h"
#include "common/module_state.h"
#include "net/peer_lookup.h"
#include "server/server_game.h"
#include "session/router_mapping.h"

void ReleaseRole() {
  if (roleSetup.receiveThreadHandle != platform::kNoThread) {
    platform::WaitThread(roleSetup.receiveThreadHandle);
    roleSetup.receiveThreadHandle = platform::kNoThread;
  }
  ServerGame* server = nullptr;
  ClientGame* client = nullptr;
  {
    // A relay that holds the guard finishes its send first; after this no
    // one reaches the object any more.
    std::lock_guard<std::mutex> lock(roleState.roleGuard);
    server = roleState.serverGame.exchange(nullptr);
    client = roleState.clientGame.exchange(nullptr);
  }
  delete server;
  delete client;
  StopRouterMapping();
  StopPeerLookup();
  platform::SocketsCleanup();
}

void FinishRole() {
  LogMessage("thread close start, thread2 wait close");
  ReleaseRole();
  roleState.shutdownState.store(shutdown_state::kFinished, std::memory_order_release);
  LogMessage("thread closed");
}
