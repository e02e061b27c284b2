#include "lvars/fixed_variables.h"

void RegisterFixedVariables() {}
void ResolveFixedVariables() {}
void PollFixedVariables() {}
void PollLVarTable() {}
void SetLVar(LVarEntry&, float) {}
