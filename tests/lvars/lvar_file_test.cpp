// The grammar of LVars.cfg, read from plain streams.
#include "lvars/lvar_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Parsed {
  std::string name;
  std::int32_t category;
  bool operator==(const Parsed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Parsed& p) {
  return out << "{\"" << p.name << "\", " << p.category << "}";
}

std::vector<Parsed> Parse(const std::string& text) {
  std::istringstream in(text);
  std::vector<Parsed> result;
  for (const auto& entry : ParseLVarTable(in))
    result.push_back({entry->name, static_cast<std::int32_t>(entry->category)});
  return result;
}

TEST(LVarFile, OnlyTheFirstTwoFieldsCount) {
  EXPECT_EQ(Parse("N;MBTN;x;y\n"), (std::vector<Parsed>{{"N", 2}}));
  EXPECT_EQ(Parse("N;x;MBTN\n"), (std::vector<Parsed>{{"N", 0}}));
  EXPECT_EQ(Parse("N;;FCTL\n"), (std::vector<Parsed>{{"N", 0}}));
}

TEST(LVarFile, CategoryWordsAreComparedWholeAndWithCase) {
  EXPECT_EQ(CategoryFromWord("FCTL"), LVarCategory::kFctl);
  EXPECT_EQ(CategoryFromWord("MBTN"), LVarCategory::kMbtn);
  EXPECT_EQ(CategoryFromWord("FCU"), LVarCategory::kFcu);
  EXPECT_EQ(CategoryFromWord("FCUh"), LVarCategory::kFcuHeading);
  EXPECT_EQ(CategoryFromWord("DISP"), LVarCategory::kDisp);
  EXPECT_EQ(CategoryFromWord("TERRWX"), LVarCategory::kTerrWx);
  EXPECT_EQ(CategoryFromWord("BTN"), LVarCategory::kBtn);
  for (const char* other : {"", "mbtn", " MBTN", "MBTN ", "FCUH", "FC", "BTNS", "TERR"}) {
    EXPECT_EQ(CategoryFromWord(other), LVarCategory::kNone) << '"' << other << '"';
  }
  EXPECT_EQ(Parse("A;mbtn\nB; MBTN\nC;FCUh\nD;FCU\nE;TERRWX\n"),
            (std::vector<Parsed>{{"A", 0}, {"B", 0}, {"C", 4}, {"D", 3}, {"E", 6}}));
}

TEST(LVarFile, NamesAreKeptByteForByteAndMayBeEmpty) {
  EXPECT_EQ(Parse("N ;FCU\n #N;FCTL\nA:B 1,x;DISP\n"),
            (std::vector<Parsed>{{"N ", 3}, {" #N", 1}, {"A:B 1,x", 5}}));
  EXPECT_EQ(Parse(";FCTL\nx;\n;\n"), (std::vector<Parsed>{{"", 1}, {"x", 0}, {"", 0}}));
}

TEST(LVarFile, BlankLinesAddNothingAndDuplicatesStaySeparate) {
  std::istringstream in("\nA\n\n\nA;BTN\n\n");
  const auto entries = ParseLVarTable(in);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[0].get(), entries[1].get());
  EXPECT_EQ(entries[0]->name, "A");
  EXPECT_EQ(entries[0]->category, LVarCategory::kNone);
  EXPECT_EQ(entries[1]->name, "A");
  EXPECT_EQ(entries[1]->category, LVarCategory::kBtn);

  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("\n\r\n\n").empty());
}

TEST(LVarFile, CrLfIsALineEndAndTheLastLineNeedsNone) {
  EXPECT_EQ(Parse("A;FCTL\r\nB;MBTN\r\n\r\nC;DISP"),
            (std::vector<Parsed>{{"A", 1}, {"B", 2}, {"C", 5}}));
  EXPECT_EQ(Parse("A\r\nB"), (std::vector<Parsed>{{"A", 0}, {"B", 0}}));
  EXPECT_EQ(Parse("A;FCU\r"), (std::vector<Parsed>{{"A", 3}}));
}

TEST(LVarFile, ACrAloneEndsALineAsLfAndCrLfDo) {
  // Files from old Mac editors end their lines with a CR alone.
  EXPECT_EQ(Parse("A\rB;FCU\r\n"), (std::vector<Parsed>{{"A", 0}, {"B", 3}}));
  EXPECT_EQ(Parse("A;FCU\r\r\n"), (std::vector<Parsed>{{"A", 3}}));
  EXPECT_EQ(Parse("A;FCTL\rB;MBTN\r"), (std::vector<Parsed>{{"A", 1}, {"B", 2}}));
}

}  // namespace
