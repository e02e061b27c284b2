// The client role's two threads.
#pragma once

#include "client/client_game.h"
#include "net/role_loop.h"

// Send thread: every 5 ms shows the link state and runs a send pass (every
// category-0 change of the pass goes) until a stop is requested.
unsigned ClientSendLoop(void* unused);
// Receive thread: every 2 ms applies what arrived and takes the cockpit's
// swap request.
unsigned ClientReceiveLoop(void* unused);
