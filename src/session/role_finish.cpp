#include "session/role_finish.h"

#include "client/client_game.h"
#include "module/globals.h"
#include "server/server_game.h"
#include "session/log.h"
#include "session/peer_lookup.h"
#include "session/router_mapping.h"

void FinishRole() {
  LogMessage("thread close start, thread2 wait close");
  if (receiveThreadHandle != platform::kNoThread) {
    platform::WaitThread(receiveThreadHandle);
    receiveThreadHandle = platform::kNoThread;
  }
  ServerGame* server = nullptr;
  ClientGame* client = nullptr;
  {
    // A relay that holds the guard finishes its send first; after this no
    // one reaches the object any more.
    std::lock_guard<std::mutex> lock(roleGuard);
    server = serverGame.exchange(nullptr);
    client = clientGame.exchange(nullptr);
  }
  delete server;
  delete client;
  StopRouterMapping();
  StopPeerLookup();
  platform::SocketsCleanup();
  shutdownState.store(shutdown_state::kFinished, std::memory_order_release);
  LogMessage("thread closed");
}
