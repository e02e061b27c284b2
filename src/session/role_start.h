// The start of the server or client role and its two threads.
#pragma once

#include "platform/platform.h"

// How the role's threads are started: the platform's functions, or others
// where a start has to be made to fail.
struct RoleThreadStarter {
  platform::ThreadHandle (*startReceive)(platform::JoinableRoutine routine, void* argument);
  platform::ThreadHandle (*startSend)(platform::JoinableRoutine routine, void* argument);
};

// Reads SharedConfig.cfg, drops a pending "MP_TGL", and, once per module load
// when "MP_START" is set, builds the role "MP_CONN" chooses and starts its
// threads; then shows connectionStatus in "MP_STS". A start that cannot get
// its object or its threads is logged and leaves no role behind.
void StartRole();
void StartRole(const RoleThreadStarter& starter);
