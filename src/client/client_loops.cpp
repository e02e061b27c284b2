#include "client/client_loops.h"

#include "common/log_limit.h"
#include "common/module_state.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"
#include "net/correction_log.h"
#include "net/pass_batch.h"
#include "net/peer_talk.h"

unsigned ClientSendLoop(void*) {
  ClientGame& game = *Load(roleState.clientGame);
  const RoleOutput output = OutputOf(game);
  PassBatch batch(output);
  ConvergeState converge;
  platform::NameThisThread(kSendThreadName);
  while (RoleRunning()) {
    ShowConnectionStatus();
    RunSendPass(batch.Gathering(), ReliableChangeRule::kContinues, converge, SteadyNowMs());
    batch.Flush();
    // What UDT refused while its buffer was full is offered again every pass.
    if (game.network != nullptr) game.network->SendHeld();
    platform::SleepMs(kSendPauseMs);
  }
  return 0;
}

unsigned ClientReceiveLoop(void*) {
  ClientGame& game = *Load(roleState.clientGame);
  const RoleOutput output = OutputOf(game);
  WriteFixed(slot::kMpConn, Load(roleState.isFollower));
  platform::NameThisThread(kReceiveThreadName);
  while (RoleRunning()) {
    ReceiveMessages(game);
    peerTalk.Tick(SteadyNowMs());
    correctionLog.Tick(SteadyNowMs());
    TakeToggleRequest(output);
    platform::SleepMs(kReceivePauseMs);
  }
  return 0;
}
