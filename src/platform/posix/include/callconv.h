// Calling convention of the simulator's panel services, gauge routines and
// SimConnect: the platform default here.
#pragma once
#define MS_STDCALL
// Marks the module's two exported records.
#define MS_EXPORT __attribute__((visibility("default")))
