#include "session/role_send.h"

#include "client/client_game.h"
#include "module/globals.h"
#include "server/server_game.h"

bool SendReliableThroughRole(std::int32_t kind, double index, double value, double extra) {
  std::lock_guard<std::mutex> lock(roleGuard);
  if (ServerGame* server = Load(serverGame)) {
    SendReliableRecord(*server, kind, index, value, extra);
    return true;
  }
  if (ClientGame* client = Load(clientGame)) {
    SendReliableRecord(*client, kind, index, value, extra);
    return true;
  }
  return false;
}
