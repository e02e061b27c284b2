#include "server/server_loops.h"

#include <cstdio>

#include "module/globals.h"
#include "module/panel_services.h"
#include "session/role_finish.h"

void AcceptPendingClient(ServerGame& game) {
  if (game.network == nullptr) return;
  const std::int32_t id = Load(connectedClientCount);
  if (!game.network->AcceptNewClient(static_cast<std::uint32_t>(id))) return;
  std::printf("client %d has been connected to the server\n", id);
  std::fflush(stdout);
  Store(connectedClientCount, id + 1);
}

void ServerSendLoop(void*) {
  ServerGame& game = *Load(serverGame);
  const RoleOutput output = OutputOf(game);
  while (RoleRunning()) {
    ShowConnectionStatus();
    RunSendPass(output, ReliableChangeRule::kEndsScan);
    platform::SleepMs(kSendPauseMs);
  }
  FinishRole();
}

unsigned ServerReceiveLoop(void*) {
  ServerGame& game = *Load(serverGame);
  const RoleOutput output = OutputOf(game);
  panel::WriteNamedValue(Load(sharedState->vars->id[slot::kMpConn]), Load(isFollower));
  while (RoleRunning()) {
    AcceptPendingClient(game);
    ReceiveMessages(game);
    TakeToggleRequest(output);
    platform::SleepMs(kReceivePauseMs);
  }
  return 0;
}
