#include "client/client_loops.h"

#include "module/globals.h"
#include "module/panel_services.h"
#include "session/role_finish.h"

void ClientSendLoop(void*) {
  ClientGame& game = *Load(clientGame);
  const RoleOutput output = OutputOf(game);
  while (RoleRunning()) {
    ShowConnectionStatus();
    RunSendPass(output, ReliableChangeRule::kContinues);
    platform::SleepMs(kSendPauseMs);
  }
  FinishRole();
}

unsigned ClientReceiveLoop(void*) {
  ClientGame& game = *Load(clientGame);
  const RoleOutput output = OutputOf(game);
  panel::WriteNamedValue(Load(sharedState->vars->id[slot::kMpConn]), Load(isFollower));
  while (RoleRunning()) {
    ReceiveMessages(game);
    TakeToggleRequest(output);
    platform::SleepMs(kReceivePauseMs);
  }
  return 0;
}
