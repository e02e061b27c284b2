#include "lvars/lvar_table.h"

void LoadLVarTable() {}
