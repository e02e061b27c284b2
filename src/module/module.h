// Start and stop routines of the module.
#pragma once

#include "callconv.h"

void MS_STDCALL ModuleInit();
void MS_STDCALL ModuleDeinit();
