// The "tables" check: two LVars.cfg files read with the module's own parsing
// and compared as two connected instances compare them.
#pragma once

#include <ostream>
#include <string>

// Prints both fingerprints and the comparison; 0 when the tables are the
// same, 1 when they differ, 2 when a file cannot be read.
int CheckTables(const std::string& here, const std::string& peer, std::ostream& out);
