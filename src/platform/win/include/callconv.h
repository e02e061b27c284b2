// Calling convention of the simulator's panel services, gauge routines and
// SimConnect: the callee cleans the stack on 32-bit Windows.
#pragma once
#define MS_STDCALL __stdcall
// Marks the module's two exported records.
#define MS_EXPORT __declspec(dllexport)
