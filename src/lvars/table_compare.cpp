#include "lvars/table_compare.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ULL;
// A log line stays readable even when the peer sends long or many names.
constexpr std::size_t kShownNameBytes = 64;
constexpr std::size_t kListedAtMost = 20;

std::uint64_t FnvByte(std::uint64_t hash, std::uint8_t byte) { return (hash ^ byte) * kFnvPrime; }

// A name's bytes as a log line can hold them, whatever the peer sent.
std::string Shown(const std::string& name) {
  std::string shown;
  const std::size_t end = std::min(name.size(), kShownNameBytes);
  for (std::size_t i = 0; i < end; ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte == '"' || byte == '\\') {
      shown += '\\';
      shown += static_cast<char>(byte);
    } else if (byte < 0x20 || byte > 0x7E) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else {
      shown += static_cast<char>(byte);
    }
  }
  if (end < name.size()) shown += "...";
  return shown;
}

// The entry as its line in LVars.cfg reads, quoted.
std::string Quoted(const NamedEntry& entry) {
  std::string text = "\"" + Shown(entry.name);
  if (entry.category != LVarCategory::kNone)
    text += ";" + std::string(CategoryWord(entry.category));
  return text + "\"";
}

// The first kListedAtMost of `total` items, made by `item`, joined by
// `separator`, then " and N more".
template <typename Item>
std::string Listed(std::size_t total, const Item& item, const std::string& separator) {
  std::string text;
  const std::size_t shown = std::min(total, kListedAtMost);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) text += separator;
    text += item(i);
  }
  if (shown < total) text += " and " + std::to_string(total - shown) + " more";
  return text;
}

std::string NamesLine(const std::string& start, const std::vector<std::string>& names) {
  return start + " (" + std::to_string(names.size()) + "): " +
         Listed(
             names.size(), [&](std::size_t i) { return "\"" + Shown(names[i]) + "\""; }, ", ");
}

// Each name once, in order, of the positions of `table` that `matched` leaves
// unmatched.
std::vector<std::string> UnmatchedNames(const std::vector<NamedEntry>& table,
                                        const std::vector<bool>& matched) {
  std::vector<std::string> names;
  std::unordered_set<std::string> listed;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!matched[i] && listed.insert(table[i].name).second) names.push_back(table[i].name);
  }
  return names;
}

std::string SideText(const std::vector<NamedEntry>& table, std::size_t position) {
  if (position < table.size()) return Quoted(table[position]);
  if (table.empty()) return "has no entry";
  return "ends after entry " + std::to_string(table.size());
}

}  // namespace

std::vector<NamedEntry> NamedEntriesOf(const std::vector<std::unique_ptr<LVarEntry>>& table,
                                       std::size_t count) {
  std::vector<NamedEntry> entries;
  const std::size_t end = std::min(count, table.size());
  entries.reserve(end);
  for (std::size_t i = 0; i < end; ++i) entries.push_back({table[i]->name, table[i]->category});
  return entries;
}

std::vector<NamedEntry> NamedEntriesOf(const std::vector<LVarLine>& lines) {
  std::vector<NamedEntry> entries;
  entries.reserve(lines.size());
  for (const auto& line : lines) entries.push_back({line.name, line.category});
  return entries;
}

std::uint64_t TableFingerprint(const std::vector<NamedEntry>& table) {
  std::uint64_t hash = kFnvOffsetBasis;
  for (const auto& entry : table) {
    for (const char c : entry.name) hash = FnvByte(hash, static_cast<std::uint8_t>(c));
    hash = FnvByte(hash, 0);
    hash = FnvByte(hash, static_cast<std::uint8_t>(entry.category));
    hash = FnvByte(hash, 0);
  }
  return hash;
}

std::string FingerprintText(std::uint64_t fingerprint) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(fingerprint));
  return text;
}

TableComparison CompareTables(const std::vector<NamedEntry>& here,
                              const std::vector<NamedEntry>& there) {
  TableComparison result;
  const std::size_t common = std::min(here.size(), there.size());
  std::size_t first = 0;
  while (first < common && here[first] == there[first]) ++first;
  result.identical = first == common && here.size() == there.size();
  if (!result.identical) result.firstDifference = first;

  // Each name's positions here, in order; the k-th occurrence there takes the
  // k-th of them.
  std::unordered_map<std::string, std::vector<std::size_t>> positionsHere;
  for (std::size_t i = 0; i < here.size(); ++i) positionsHere[here[i].name].push_back(i);
  std::unordered_map<std::string, std::size_t> usedHere;
  std::vector<bool> matchedHere(here.size(), false);
  std::vector<bool> matchedThere(there.size(), false);
  result.peerToLocal.assign(there.size(), kNoPosition);
  for (std::size_t i = 0; i < there.size(); ++i) {
    const auto found = positionsHere.find(there[i].name);
    if (found == positionsHere.end()) continue;
    std::size_t& used = usedHere[there[i].name];
    if (used == found->second.size()) continue;
    const std::size_t local = found->second[used++];
    result.peerToLocal[i] = local;
    matchedHere[local] = true;
    matchedThere[i] = true;
    ++result.sharedByName;
    if (here[local].category != there[i].category) result.otherCategory.push_back(i);
  }
  result.onlyHere = UnmatchedNames(here, matchedHere);
  result.onlyThere = UnmatchedNames(there, matchedThere);
  return result;
}

std::vector<std::string> TableComparisonLines(const std::vector<NamedEntry>& here,
                                              const std::vector<NamedEntry>& there,
                                              const TableComparison& comparison) {
  if (comparison.identical) {
    return {"LVars.cfg is the same as the peer's: " + std::to_string(here.size()) + " variables"};
  }
  std::vector<std::string> lines;
  if (comparison.firstDifference) {
    const std::size_t at = *comparison.firstDifference;
    lines.push_back("LVars.cfg differs from the peer's from entry " + std::to_string(at + 1) +
                    ": here " + SideText(here, at) + ", peer " + SideText(there, at));
  }
  lines.push_back("LVars.cfg and the peer's share " + std::to_string(comparison.sharedByName) +
                  " variables by name (" + std::to_string(here.size()) + " here, " +
                  std::to_string(there.size()) + " at the peer)");
  if (!comparison.onlyHere.empty()) {
    lines.push_back(NamesLine("Only in this LVars.cfg, not shared", comparison.onlyHere));
  }
  if (!comparison.onlyThere.empty()) {
    lines.push_back(NamesLine("Only in the peer's LVars.cfg, not shared", comparison.onlyThere));
  }
  if (const auto& other = comparison.otherCategory; !other.empty()) {
    const auto pair = [&](std::size_t i) {
      return "here " + Quoted(here[comparison.peerToLocal[other[i]]]) + ", peer " +
             Quoted(there[other[i]]);
    };
    lines.push_back("Shared by name with another category (" + std::to_string(other.size()) +
                    "): " + Listed(other.size(), pair, "; "));
  }
  return lines;
}
