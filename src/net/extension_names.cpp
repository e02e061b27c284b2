#include "net/extension_names.h"

#include <algorithm>

#include "net/le_fields.h"

namespace {

constexpr std::size_t kLengthAt = 5;
constexpr std::size_t kFlagsAt = 6;
constexpr std::size_t kCategoryAt = 7;
constexpr std::size_t kPositionAt = 8;
constexpr std::size_t kTextAt = 12;
constexpr std::uint8_t kHighestCategory = static_cast<std::uint8_t>(LVarCategory::kBtn);

// Entries are counted from 1 in what pilots read.
std::string Entry(std::uint64_t position) { return "entry " + std::to_string(position + 1); }

}  // namespace

MessageBytes EncodeNamePiece(const NamePiece& piece) {
  MessageBytes bytes{};
  le::PutU32(bytes.data() + kExtensionKindAt, static_cast<std::uint32_t>(kind::kExtension));
  bytes[kExtensionTypeAt] = extension::kName;
  const std::size_t length = std::min(piece.text.size(), kNamePieceBytes);
  bytes[kLengthAt] = static_cast<std::uint8_t>(length);
  bytes[kFlagsAt] = static_cast<std::uint8_t>((piece.nameEnds ? name_flag::kNameEnds : 0) |
                                              (piece.tableEnds ? name_flag::kTableEnds : 0));
  bytes[kCategoryAt] = piece.category;
  le::PutU32(bytes.data() + kPositionAt, piece.position);
  std::copy_n(piece.text.begin(), length, bytes.begin() + kTextAt);
  return bytes;
}

std::optional<NamePiece> DecodeNamePiece(const std::uint8_t* bytes) {
  const std::uint8_t length = bytes[kLengthAt];
  if (length > kNamePieceBytes || bytes[kCategoryAt] > kHighestCategory) return std::nullopt;
  NamePiece piece;
  piece.position = le::GetU32(bytes + kPositionAt);
  piece.category = bytes[kCategoryAt];
  piece.nameEnds = (bytes[kFlagsAt] & name_flag::kNameEnds) != 0;
  piece.tableEnds = (bytes[kFlagsAt] & name_flag::kTableEnds) != 0;
  piece.text.assign(reinterpret_cast<const char*>(bytes + kTextAt), length);
  return piece;
}

std::vector<MessageBytes> NamePieces(const std::vector<NamedEntry>& table) {
  if (table.empty()) {
    NamePiece empty;
    empty.position = kEmptyTablePosition;
    empty.nameEnds = true;
    empty.tableEnds = true;
    return {EncodeNamePiece(empty)};
  }
  std::vector<MessageBytes> pieces;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string& name = table[i].name;
    std::size_t from = 0;
    do {
      NamePiece piece;
      piece.position = static_cast<std::uint32_t>(i);
      piece.category = static_cast<std::uint8_t>(table[i].category);
      piece.text = name.substr(from, kNamePieceBytes);
      from += piece.text.size();
      piece.nameEnds = from == name.size();
      piece.tableEnds = piece.nameEnds && i + 1 == table.size();
      pieces.push_back(EncodeNamePiece(piece));
    } while (from < name.size());
  }
  return pieces;
}

NamesStep PeerNames::Take(const std::uint8_t* record) {
  if (abandoned_) return {};
  if (const auto piece = DecodeNamePiece(record)) return Take(*piece);
  if (record[kLengthAt] > kNamePieceBytes) {
    return Abandon("a piece holds " + std::to_string(record[kLengthAt]) +
                   " bytes of text, more than " + std::to_string(kNamePieceBytes));
  }
  return Abandon("a piece has category " + std::to_string(record[kCategoryAt]) + ", more than " +
                 std::to_string(kHighestCategory));
}

NamesStep PeerNames::Take(const NamePiece& piece) {
  if (abandoned_) return {};
  if (table_.empty() && !nameOpen_ && piece.position == kEmptyTablePosition) {
    if (!piece.text.empty() || !piece.tableEnds) {
      return Abandon("the empty table's piece carries text or does not end the table");
    }
    return {std::vector<NamedEntry>{}, {}};
  }
  // Where this piece belongs: the open name, or the entry after the last.
  const std::uint64_t due = nameOpen_ ? table_.size() - 1 : table_.size();
  if (piece.position != due) {
    return Abandon("a piece for " + Entry(piece.position) + " came where " + Entry(due) +
                   " was due");
  }
  if (!nameOpen_) {
    if (table_.size() == kPeerEntriesAtMost) {
      return Abandon("more than " + std::to_string(kPeerEntriesAtMost) + " entries");
    }
    table_.push_back({{}, static_cast<LVarCategory>(piece.category)});
  } else if (static_cast<std::uint8_t>(table_.back().category) != piece.category) {
    return Abandon(Entry(due) + " changes its category between its pieces");
  }
  NamedEntry& entry = table_.back();
  if (entry.name.size() + piece.text.size() > kPeerNameBytesAtMost) {
    return Abandon("the name of " + Entry(due) + " is longer than " +
                   std::to_string(kPeerNameBytesAtMost) + " bytes");
  }
  if (textBytes_ + piece.text.size() > kPeerTextBytesAtMost) {
    return Abandon("the names hold more than " + std::to_string(kPeerTextBytesAtMost) + " bytes");
  }
  entry.name += piece.text;
  textBytes_ += piece.text.size();
  nameOpen_ = !piece.nameEnds && !piece.tableEnds;
  if (!piece.tableEnds) return {};
  NamesStep done{std::move(table_), {}};
  Reset();
  return done;
}

void PeerNames::Reset() {
  table_.clear();
  nameOpen_ = false;
  abandoned_ = false;
  textBytes_ = 0;
}

NamesStep PeerNames::Abandon(const std::string& why) {
  Reset();
  abandoned_ = true;
  return {std::nullopt, "The peer's LVars.cfg names are refused: " + why};
}
