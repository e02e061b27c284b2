#include "server/server_loops.h"

#include <string>

#include "common/log.h"
#include "common/log_limit.h"
#include "common/module_state.h"
#include "lvars/fixed_ids.h"
#include "net/converge.h"
#include "net/correction_log.h"
#include "net/pass_batch.h"
#include "net/peer_talk.h"

void AcceptPendingClient(ServerGame& game) {
  if (game.network == nullptr) return;
  const std::int32_t id = Load(linkState.connectedClientCount);
  if (!game.network->AcceptNewClient(static_cast<std::uint32_t>(id))) return;
  PrintAndLog("client " + std::to_string(id) + " has been connected to the server");
  Store(linkState.connectedClientCount, id + 1);
}

namespace {
// While a client is connected the listener is looked at every 25th pass
// (50 ms) instead of every pass: an unpatched UDT (Debian's, the fallback)
// reports an empty accept queue by throwing inside the library, which costs
// more than the rest of an idle pass. UDT's own threads complete a new
// connection at once; only its filing here waits, at most this long.
constexpr unsigned kConnectedAcceptPasses = 25;
}  // namespace

unsigned ServerSendLoop(void*) {
  ServerGame& game = *Load(roleState.serverGame);
  const RoleOutput output = OutputOf(game);
  PassBatch batch(output);
  ConvergeState converge;
  platform::NameThisThread(kSendThreadName);
  while (RoleRunning()) {
    ShowConnectionStatus();
    RunSendPass(batch.Gathering(), ReliableChangeRule::kEndsScan, converge, SteadyNowMs());
    batch.Flush();
    // What UDT refused while its buffer was full is offered again every pass.
    if (game.network != nullptr) game.network->SendHeldToAll();
    platform::SleepMs(kSendPauseMs);
  }
  return 0;
}

unsigned ServerReceiveLoop(void*) {
  ServerGame& game = *Load(roleState.serverGame);
  const RoleOutput output = OutputOf(game);
  WriteFixed(slot::kMpConn, Load(roleState.isFollower));
  platform::NameThisThread(kReceiveThreadName);
  for (unsigned pass = 0; RoleRunning(); ++pass) {
    if (Load(linkState.connectionStatus) != connection_status::kConnected ||
        pass % kConnectedAcceptPasses == 0 || (game.network && game.network->Gating())) {
      AcceptPendingClient(game);
    }
    ReceiveMessages(game);
    peerTalk.Tick(SteadyNowMs());
    correctionLog.Tick(SteadyNowMs());
    TakeToggleRequest(output);
    platform::SleepMs(kReceivePauseMs);
  }
  return 0;
}
