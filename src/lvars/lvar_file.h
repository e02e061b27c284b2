// The grammar of LVars.cfg, kept apart from the module's state so that the
// loader, the tests and the checker read the file the same way.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/lvar_entry.h"

// The category a word names; any other text, compared whole and with case,
// is kNone.
LVarCategory CategoryFromWord(std::string_view word);
// The word the file writes for `category`; "none" for kNone.
std::string_view CategoryWord(LVarCategory category);

// One line of the file that holds at least one field.
struct LVarLine {
  std::size_t number = 0;           // 1 for the file's first line
  std::string name;                 // field 1, byte for byte
  std::optional<std::string> word;  // field 2, when the line has one
  LVarCategory category = LVarCategory::kNone;
};

// The lines that hold at least one field, in file order. A line is split at
// ";" only: field 1 is the name, field 2 the category word, further fields
// are ignored. A line ends at "\n"; one "\r" before it belongs to the line
// end, and a last line without "\n" still counts. A byte-order mark at the
// start is skipped.
std::vector<LVarLine> ReadLVarLines(std::istream& in);

// One entry per such line.
std::vector<std::unique_ptr<LVarEntry>> TableEntries(const std::vector<LVarLine>& lines);
std::vector<std::unique_ptr<LVarEntry>> ParseLVarTable(std::istream& in);

// One log line for each mistake a pilot can mend: a category word that is
// not one of the eight (naming the word it resembles), an FCUh entry that
// does not follow an FCU entry, a name listed twice, an empty name, a name
// with blanks at its ends.
std::vector<std::string> LVarTableProblems(const std::vector<LVarLine>& lines);
