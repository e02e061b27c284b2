// Two instances' tables of named variables side by side: a fingerprint that
// tells whether they are the same, and, when they are not, which entries the
// two sides share by name and what a pilot must mend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/lvar_entry.h"
#include "lvars/lvar_file.h"

// What of an entry both sides must agree on: its name and its category.
struct NamedEntry {
  std::string name;
  LVarCategory category = LVarCategory::kNone;

  bool operator==(const NamedEntry&) const = default;
};

// The first `count` entries of the loaded table (at most all of it).
std::vector<NamedEntry> NamedEntriesOf(const std::vector<std::unique_ptr<LVarEntry>>& table,
                                       std::size_t count);
// The entries that these lines of LVars.cfg make, one per line.
std::vector<NamedEntry> NamedEntriesOf(const std::vector<LVarLine>& lines);

// 64-bit FNV-1a over, for each entry in order: its name's bytes, a 0 byte,
// its category number as one byte, a 0 byte. The empty table gives FNV's
// offset basis, 0xCBF29CE484222325.
std::uint64_t TableFingerprint(const std::vector<NamedEntry>& table);
// A fingerprint as the log and the checker write it: 16 upper-case hex
// digits, for example "CBF29CE484222325".
std::string FingerprintText(std::uint64_t fingerprint);

// A position that has no counterpart on the other side.
inline constexpr std::size_t kNoPosition = std::numeric_limits<std::size_t>::max();

struct TableComparison {
  bool identical = false;
  // The first position (from 0) where name or category differ, or where one
  // table ends before the other; none when identical.
  std::optional<std::size_t> firstDifference;
  // For each position of the peer's table, the position here of the entry
  // with the same name, or kNoPosition. A name listed k times is matched
  // occurrence by occurrence: the k-th here with the k-th there.
  std::vector<std::size_t> peerToLocal;
  std::size_t sharedByName = 0;  // positions of the peer's table that map here
  // Names with an occurrence that has no counterpart, each name once, in
  // table order.
  std::vector<std::string> onlyHere;
  std::vector<std::string> onlyThere;
  // Positions of the peer's table matched here by name with another
  // category, in the peer's order.
  std::vector<std::size_t> otherCategory;
};

TableComparison CompareTables(const std::vector<NamedEntry>& here,
                              const std::vector<NamedEntry>& there);

// The lines a pilot reads about the comparison. An entry is written as the
// file holds it, NAME or NAME;WORD, within double quotes; bytes outside
// printable ASCII, '"' and '\' are escaped (\xNN, \", \\) and a name over 64
// bytes is cut there with "...". "entry N" counts the file's entries from 1,
// blank lines not counted. A list names at most 20 entries, then
// " and N more". The texts:
//   identical:
//     LVars.cfg is the same as the peer's: N variables
//   otherwise, in this order, each line only when it has something to say:
//     LVars.cfg differs from the peer's from entry N: here "A;FCTL", peer "B;FCTL"
//       (a side without entry N reads: here ends after entry M / peer has
//       no entry)
//     LVars.cfg and the peer's share S variables by name (H here, P at the peer)
//     Only in this LVars.cfg, not shared (K): "A", "B"
//     Only in the peer's LVars.cfg, not shared (K): "C"
//     Shared by name with another category (K): here "A;FCU", peer "A;DISP"; ...
std::vector<std::string> TableComparisonLines(const std::vector<NamedEntry>& here,
                                              const std::vector<NamedEntry>& there,
                                              const TableComparison& comparison);
