#include "session/role_send.h"

#include "client/client_game.h"
#include "common/module_state.h"
#include "server/server_game.h"

bool SendReliableThroughRole(std::int32_t kind, double index, double value, double extra) {
  std::lock_guard<std::mutex> lock(roleState.roleGuard);
  if (ServerGame* server = Load(roleState.serverGame)) {
    SendReliableRecord(*server, kind, index, value, extra);
    return true;
  }
  if (ClientGame* client = Load(roleState.clientGame)) {
    SendReliableRecord(*client, kind, index, value, extra);
    return true;
  }
  return false;
}
