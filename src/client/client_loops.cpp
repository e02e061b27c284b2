#include "client/client_loops.h"

#include "lvars/fixed_ids.h"
#include "module/globals.h"
#include "session/converge.h"
#include "session/correction_log.h"
#include "session/log_limit.h"
#include "session/role_finish.h"

unsigned ClientSendLoop(void*) {
  ClientGame& game = *Load(clientGame);
  const RoleOutput output = OutputOf(game);
  ConvergeState converge;
  converge.packet.reserve(kRecordsPerDatagram * kMessageSize);
  platform::NameThisThread(kSendThreadName);
  while (RoleRunning()) {
    ShowConnectionStatus();
    RunSendPass(output, ReliableChangeRule::kContinues, converge, SteadyNowMs());
    platform::SleepMs(kSendPauseMs);
  }
  FinishRole();
  return 0;
}

unsigned ClientReceiveLoop(void*) {
  ClientGame& game = *Load(clientGame);
  const RoleOutput output = OutputOf(game);
  WriteFixed(slot::kMpConn, Load(isFollower));
  platform::NameThisThread(kReceiveThreadName);
  while (RoleRunning()) {
    ReceiveMessages(game);
    correctionLog.Tick(SteadyNowMs());
    TakeToggleRequest(output);
    platform::SleepMs(kReceivePauseMs);
  }
  return 0;
}
