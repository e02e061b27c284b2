// The grammar of LVars.cfg, kept apart from the module's globals so that the
// loader, the tests and a checking tool read the file the same way.
#pragma once

#include <istream>
#include <memory>
#include <string_view>
#include <vector>

#include "lvars/lvar_entry.h"

// The category a word names; any other text, compared whole and with case,
// is kNone.
LVarCategory CategoryFromWord(std::string_view word);

// One entry per line that holds at least one field, in file order. A line is
// split at ";" only: field 1 is the name byte for byte, field 2 the category
// word, further fields are ignored. A line ends at "\n"; one "\r" before it
// belongs to the line end, and a last line without "\n" still counts.
std::vector<std::unique_ptr<LVarEntry>> ParseLVarTable(std::istream& in);
