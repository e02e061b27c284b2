// The table's names on the wire: pieces as bytes, tables of awkward names
// through and back, and what a hostile peer's pieces do.
#include "net/extension_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using C = LVarCategory;

NamesStep TakeAll(PeerNames& names, const std::vector<MessageBytes>& pieces) {
  NamesStep last;
  for (const auto& piece : pieces) {
    last = names.Take(piece.data());
    if (last.table || !last.problem.empty()) break;
  }
  return last;
}

MessageBytes Piece(std::uint32_t position, const std::string& text, bool nameEnds,
                   bool tableEnds = false) {
  NamePiece piece;
  piece.position = position;
  piece.text = text;
  piece.nameEnds = nameEnds;
  piece.tableEnds = tableEnds;
  return EncodeNamePiece(piece);
}

TEST(NamePieces, MatchTheirByteImageAndCarryAnyTableThroughAndBack) {
  const std::vector<MessageBytes> two = NamePieces({{"QV_LIGHTS_ON1", C::kTerrWx}});
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(std::vector<int>(two[0].begin(), two[0].end()),
            (std::vector<int>{0x53, 0x4D, 0,   0,   2,   12,  0,   6,   0,   0,   0,   0,
                              'Q',  'V',  '_', 'L', 'I', 'G', 'H', 'T', 'S', '_', 'O', 'N'}));
  EXPECT_EQ(std::vector<int>(two[1].begin(), two[1].begin() + 13),
            (std::vector<int>{0x53, 0x4D, 0, 0, 2, 1, 3, 6, 0, 0, 0, 0, '1'}));
  EXPECT_EQ(two[1][13], 0);

  const std::vector<NamedEntry> table = {{"", C::kFctl},
                                         {std::string(12, 'a'), C::kNone},
                                         {std::string(13, 'b'), C::kBtn},
                                         {std::string(1024, 'c'), C::kDisp},
                                         {"", C::kNone}};
  const std::vector<MessageBytes> pieces = NamePieces(table);
  EXPECT_EQ(pieces.size(), 1u + 1u + 2u + 86u + 1u);
  PeerNames names;
  // Twice over one receiver: a complete table leaves it ready for the next.
  for (int round = 0; round < 2; ++round) {
    const NamesStep step = TakeAll(names, pieces);
    EXPECT_EQ(step.problem, "");
    ASSERT_TRUE(step.table);
    EXPECT_EQ(*step.table, table);
  }

  const std::vector<MessageBytes> empty = NamePieces({});
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(DecodeNamePiece(empty[0].data())->position, kEmptyTablePosition);
  const NamesStep none = TakeAll(names, empty);
  ASSERT_TRUE(none.table);
  EXPECT_TRUE(none.table->empty());
}

TEST(PeerNames, AbandonsAHostileTableOnceSayingWhyUntilReset) {
  PeerNames names;
  const auto expectRefused = [&](const std::vector<MessageBytes>& pieces, const std::string& why) {
    names.Reset();
    const NamesStep step = TakeAll(names, pieces);
    EXPECT_FALSE(step.table);
    EXPECT_EQ(step.problem, "The peer's LVars.cfg names are refused: " + why);
  };
  expectRefused({Piece(0, "A", true), Piece(2, "C", true, true)},
                "a piece for entry 3 came where entry 2 was due");
  expectRefused({Piece(0, "A", false), Piece(1, "B", true, true)},
                "a piece for entry 2 came where entry 1 was due");
  expectRefused({Piece(1, "B", true, true)}, "a piece for entry 2 came where entry 1 was due");
  expectRefused({Piece(0, "A", true), Piece(kEmptyTablePosition, "", true, true)},
                "a piece for entry 4294967296 came where entry 2 was due");
  MessageBytes recategorised = Piece(0, "B", true, true);
  recategorised[7] = 5;
  expectRefused({Piece(0, "A", false), recategorised},
                "entry 1 changes its category between its pieces");

  expectRefused(NamePieces({{std::string(1025, 'x'), C::kNone}}),
                "the name of entry 1 is longer than 1024 bytes");
  expectRefused(NamePieces(std::vector<NamedEntry>(100'001, {"n", C::kNone})),
                "more than 100000 entries");
  names.Reset();
  const NamesStep most =
      TakeAll(names, NamePieces(std::vector<NamedEntry>(100'000, {"n", C::kNone})));
  ASSERT_TRUE(most.table);
  EXPECT_EQ(most.table->size(), 100'000u);
  expectRefused(NamePieces(std::vector<NamedEntry>(4100, {std::string(1024, 'z'), C::kNone})),
                "the names hold more than 4194304 bytes");

  MessageBytes thirteen = Piece(0, "A", true, true);
  thirteen[5] = 13;
  EXPECT_FALSE(DecodeNamePiece(thirteen.data()));
  expectRefused({thirteen}, "a piece holds 13 bytes of text, more than 12");
  MessageBytes category8 = Piece(0, "A", true, true);
  category8[7] = 8;
  EXPECT_FALSE(DecodeNamePiece(category8.data()));
  expectRefused({category8}, "a piece has category 8, more than 7");

  // Once abandoned, even a sound table is ignored, silently, until Reset.
  const std::vector<MessageBytes> sound = NamePieces({{"A", C::kNone}});
  EXPECT_FALSE(TakeAll(names, sound).table);
  EXPECT_EQ(TakeAll(names, sound).problem, "");
  names.Reset();
  EXPECT_TRUE(TakeAll(names, sound).table);
}

}  // namespace
