#include "check_tables.h"

#include <fstream>
#include <optional>
#include <vector>

#include "lvars/lvar_file.h"
#include "lvars/table_compare.h"

namespace {

std::optional<std::vector<NamedEntry>> ReadTable(const std::string& path) {
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in.is_open()) return std::nullopt;
  return NamedEntriesOf(ReadLVarLines(in));
}

}  // namespace

int CheckTables(const std::string& here, const std::string& peer, std::ostream& out) {
  const auto hereTable = ReadTable(here);
  const auto peerTable = ReadTable(peer);
  if (!hereTable) out << "PROBLEM: " << here << " cannot be read\n";
  if (!peerTable) out << "PROBLEM: " << peer << " cannot be read\n";
  if (!hereTable || !peerTable) return 2;
  out << here << ": " << hereTable->size() << " variables, fingerprint "
      << FingerprintText(TableFingerprint(*hereTable)) << "\n"
      << peer << ": " << peerTable->size() << " variables, fingerprint "
      << FingerprintText(TableFingerprint(*peerTable)) << "\n"
      << "Below, \"here\" is " << here << " and \"the peer's\" is " << peer << ".\n";
  const TableComparison comparison = CompareTables(*hereTable, *peerTable);
  for (const auto& line : TableComparisonLines(*hereTable, *peerTable, comparison)) {
    out << line << "\n";
  }
  return comparison.identical ? 0 : 1;
}
