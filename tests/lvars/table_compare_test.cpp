// Two tables side by side: the fingerprint that tells them apart, the entries
// shared by name, and the lines a pilot reads about them.
#include "lvars/table_compare.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using C = LVarCategory;

TEST(TableFingerprint, IsFnv1aOverNamesAndCategoriesAndTellsNearTablesApart) {
  // FNV-1a of the bytes "QV_A\0\x01\0QV_Hdg\0\x03\0\0\0\0\0", worked out apart.
  EXPECT_EQ(
      FingerprintText(TableFingerprint({{"QV_A", C::kFctl}, {"QV_Hdg", C::kFcu}, {"", C::kNone}})),
      "8570547A02C2C797");
  EXPECT_EQ(TableFingerprint({}), 0xCBF29CE484222325ULL);

  const std::vector<NamedEntry> table = {{"ab", C::kNone}, {"c", C::kDisp}};
  const std::uint64_t base = TableFingerprint(table);
  EXPECT_NE(base, TableFingerprint({{"c", C::kDisp}, {"ab", C::kNone}}));    // swapped
  EXPECT_NE(base, TableFingerprint({{"ab", C::kNone}, {"c", C::kTerrWx}}));  // category
  EXPECT_NE(base, TableFingerprint({{"a", C::kNone}, {"bc", C::kDisp}}));    // moved split
  EXPECT_NE(base, TableFingerprint({{"abc", C::kDisp}}));

  // The module's loaded table and the checker's lines give the same entries.
  std::istringstream file(
      "\xEF\xBB\xBF"
      "ab\r\n\r\nc;DISP;x\n");
  const auto lines = ReadLVarLines(file);
  EXPECT_EQ(NamedEntriesOf(lines), table);
  EXPECT_EQ(NamedEntriesOf(TableEntries(lines), 2), table);
  EXPECT_EQ(NamedEntriesOf(TableEntries(lines), 9), table);
}

TEST(CompareTables, OneLineInsertedInTheMiddleIsNamedAndTheRestSharedByName) {
  const std::vector<NamedEntry> here = {{"A", C::kFctl}, {"B", C::kNone},       {"Q", C::kMbtn},
                                        {"C", C::kFcu},  {"D", C::kFcuHeading}, {"B", C::kNone}};
  const std::vector<NamedEntry> there = {{"A", C::kFctl}, {"B", C::kNone}, {"X", C::kBtn},
                                         {"C", C::kFcu},  {"D", C::kDisp}, {"B", C::kNone},
                                         {"B", C::kNone}};
  const TableComparison comparison = CompareTables(here, there);
  EXPECT_FALSE(comparison.identical);
  EXPECT_EQ(comparison.firstDifference, 2u);
  EXPECT_EQ(comparison.peerToLocal,
            (std::vector<std::size_t>{0, 1, kNoPosition, 3, 4, 5, kNoPosition}));
  EXPECT_EQ(comparison.sharedByName, 5u);
  EXPECT_EQ(comparison.onlyHere, (std::vector<std::string>{"Q"}));
  EXPECT_EQ(comparison.onlyThere, (std::vector<std::string>{"X", "B"}));
  EXPECT_EQ(comparison.otherCategory, (std::vector<std::size_t>{4}));
  EXPECT_EQ(TableComparisonLines(here, there, comparison),
            (std::vector<std::string>{
                "LVars.cfg differs from the peer's from entry 3: here \"Q;MBTN\", peer \"X;BTN\"",
                "LVars.cfg and the peer's share 5 variables by name (6 here, 7 at the peer)",
                "Only in this LVars.cfg, not shared (1): \"Q\"",
                "Only in the peer's LVars.cfg, not shared (2): \"X\", \"B\"",
                "Shared by name with another category (1): here \"D;FCUh\", peer \"D;DISP\""}));

  const TableComparison same = CompareTables(here, here);
  EXPECT_TRUE(same.identical);
  EXPECT_FALSE(same.firstDifference);
  EXPECT_EQ(TableComparisonLines(here, here, same),
            (std::vector<std::string>{"LVars.cfg is the same as the peer's: 6 variables"}));
}

TEST(CompareTables, LinesStayShortAndPlainWhateverThePeerNames) {
  const std::vector<NamedEntry> here = {{"A", C::kNone}};
  std::vector<NamedEntry> there = {
      {"A", C::kNone}, {"bad\n\"name\\\x80", C::kNone}, {std::string(100, 'L'), C::kNone}};
  for (int i = 0; i < 23; ++i) there.push_back({"N" + std::to_string(i), C::kNone});
  const auto lines = TableComparisonLines(here, there, CompareTables(here, there));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "LVars.cfg differs from the peer's from entry 2: here ends after entry 1, "
            "peer \"bad\\x0A\\\"name\\\\\\x80\"");
  const std::string& list = lines[2];
  EXPECT_EQ(list.rfind("Only in the peer's LVars.cfg, not shared (25): \"bad\\x0A", 0), 0u) << list;
  EXPECT_NE(list.find(", \"" + std::string(64, 'L') + "...\", \"N0\""), std::string::npos) << list;
  EXPECT_NE(list.find(", \"N17\" and 5 more"), std::string::npos) << list;
  EXPECT_EQ(list.find("N18"), std::string::npos) << list;
}

}  // namespace
