// The server role's two threads.
#pragma once

#include "net/role_loop.h"
#include "server/server_game.h"

// Send thread: every 5 ms shows the link state, runs a send pass (one
// category-0 change per pass) until a stop is requested.
unsigned ServerSendLoop(void* unused);
// Receive thread: every 2 ms accepts a client (every 50 ms while one is
// connected), applies what arrived and takes the cockpit's swap request.
unsigned ServerReceiveLoop(void* unused);

// Files a pending client under the next id and tells the console.
void AcceptPendingClient(ServerGame& game);
