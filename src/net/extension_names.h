// The table's names on the reliable channel: a table cut into name pieces,
// and the peer's pieces put back together into its table, refusing anything
// a well-behaved peer would not send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lvars/table_compare.h"
#include "net/extension_records.h"

// The position that an empty table's one piece carries.
inline constexpr std::uint32_t kEmptyTablePosition = 0xFFFFFFFF;

// Bounds on the peer's table; past any of them the table is abandoned.
inline constexpr std::size_t kPeerEntriesAtMost = 100'000;
inline constexpr std::size_t kPeerNameBytesAtMost = 1'024;
inline constexpr std::size_t kPeerTextBytesAtMost = 4 * 1024 * 1024;

// Every entry in table order as one or more pieces of up to kNamePieceBytes
// bytes, the last with kNameEnds; an empty name is one piece of 0 bytes. The
// last piece of the last entry also has kTableEnds. An empty table is one
// piece at kEmptyTablePosition with 0 bytes, category 0 and both flags.
std::vector<MessageBytes> NamePieces(const std::vector<NamedEntry>& table);

// What one piece did to the peer's table.
struct NamesStep {
  // The peer's whole table, on the piece that ends it.
  std::optional<std::vector<NamedEntry>> table;
  // Why the table is abandoned, on the piece that abandons it only.
  std::string problem;
};

// Reassembles the peer's table from its pieces, in order: a piece at the
// position of the name being received continues it, a piece at the next
// position starts the next entry once the name has ended (kTableEnds ends
// the name too), and the first piece is at position 0 (or is an empty table's piece). Any other
// piece, a malformed one, or a table past a bound abandons the table: the step says why, and later
// pieces are ignored until Reset. After a complete table the next piece starts a new one.
class PeerNames {
 public:
  NamesStep Take(const NamePiece& piece);
  // Decodes a name record and takes it; a malformed record abandons.
  NamesStep Take(const std::uint8_t* record);
  // For a new connection: forgets everything received.
  void Reset();

 private:
  NamesStep Abandon(const std::string& why);

  std::vector<NamedEntry> table_;
  bool nameOpen_ = false;  // the last entry's name awaits more pieces
  bool abandoned_ = false;
  std::size_t textBytes_ = 0;
};
