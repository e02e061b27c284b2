// The reliable channel's congestion control.
#pragma once

#include "system_sockets.h"
// system_sockets.h must come first.
#include <udt/udt.h>

// Installs it on a UDT socket before it connects or listens; a connection a
// listener accepts takes the listener's.
void UseKeptSlowStart(UDTSOCKET socket);
