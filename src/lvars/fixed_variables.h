// The add-on's fixed named variables and the per-frame polling.
#pragma once

#include "lvars/lvar_entry.h"

void RegisterFixedVariables();
void ResolveFixedVariables();
void PollFixedVariables();
void PollLVarTable();
void SetLVar(LVarEntry& entry, float value);
