// The shared named-variable table read from LVars.cfg.
#pragma once

// Loads LVars.cfg while the table is empty (lvarCount 0), retrying on every
// call until the file yields an entry; true once the table holds one. Runs on
// every gauge pre-update, on the simulator thread.
bool LoadLVarTable();
