// The shared named-variable table read from LVars.cfg.
#pragma once

#include <istream>
#include <memory>
#include <vector>

#include "lvars/lvar_entry.h"

// Loads LVars.cfg while the table is empty, then starts the role once
// "MP_START" is set. Runs on every gauge pre-update.
void LoadLVarTable();
