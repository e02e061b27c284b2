// The client role's two threads.
#pragma once

#include "client/client_game.h"
#include "session/role_loop.h"

// Send thread: every 5 ms shows the link state, runs a send pass (every
// category-0 change of the pass goes) and, once a stop is requested, ends
// the role.
unsigned ClientSendLoop(void* unused);
// Receive thread: every 2 ms applies what arrived and takes the cockpit's
// swap request.
unsigned ClientReceiveLoop(void* unused);
