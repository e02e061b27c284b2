// The shared named-variable table read from LVars.cfg.
#pragma once

// Loads LVars.cfg while the table is empty (lvarCount 0), retrying on every
// call until the file yields an entry, then starts the role once "MP_START"
// is set. Runs on every gauge pre-update, on the simulator thread.
void LoadLVarTable();
