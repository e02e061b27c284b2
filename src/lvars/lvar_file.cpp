#include "lvars/lvar_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <sstream>
#include <utility>

#include "common/text_lines.h"

namespace {

constexpr std::array<std::pair<std::string_view, LVarCategory>, 7> kCategoryWords = {{
    {"FCTL", LVarCategory::kFctl},
    {"MBTN", LVarCategory::kMbtn},
    {"FCU", LVarCategory::kFcu},
    {"FCUh", LVarCategory::kFcuHeading},
    {"DISP", LVarCategory::kDisp},
    {"TERRWX", LVarCategory::kTerrWx},
    {"BTN", LVarCategory::kBtn},
}};
// Category 0 may also be written out.
constexpr std::string_view kNoneWord = "none";

// Fields as reading up to each next ";" yields them: "x;" is only x, ";y" is
// an empty field and y, and an empty line has no field at all.
std::vector<std::string> SplitFields(const std::string& line, std::size_t wanted) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (fields.size() < wanted && std::getline(in, field, ';')) {
    fields.push_back(std::move(field));
  }
  return fields;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The known word that `word` is once blanks are trimmed and case ignored.
// FCU and FCUh differ only in case, so an exact match after trimming wins.
std::optional<std::string_view> ResembledWord(std::string_view word) {
  const std::string trimmed = Trimmed(word);
  for (const auto& [text, category] : kCategoryWords) {
    if (trimmed == text) return text;
  }
  for (const auto& [text, category] : kCategoryWords) {
    if (SameIgnoringCase(trimmed, text)) return text;
  }
  if (SameIgnoringCase(trimmed, kNoneWord)) return kNoneWord;
  return std::nullopt;
}

std::string At(const LVarLine& line) {
  return "LVars.cfg line " + std::to_string(line.number) + ": ";
}

std::string WordProblem(const LVarLine& line) {
  std::string text = At(line) + "category \"" + *line.word + "\" of \"" + line.name +
                     "\" is not one of FCTL, MBTN, FCU, FCUh, DISP, TERRWX, BTN, none";
  if (const auto resembled = ResembledWord(*line.word)) {
    text += "; write \"" + std::string(*resembled) + "\" (case counts, no blanks)";
  }
  return text + "; the variable is shared as category none";
}

}  // namespace

LVarCategory CategoryFromWord(std::string_view word) {
  for (const auto& [text, category] : kCategoryWords) {
    if (word == text) return category;
  }
  return LVarCategory::kNone;
}

std::string_view CategoryWord(LVarCategory category) {
  for (const auto& [text, known] : kCategoryWords) {
    if (known == category) return text;
  }
  return kNoneWord;
}

std::vector<LVarLine> ReadLVarLines(std::istream& in) {
  std::vector<LVarLine> lines;
  SkipByteOrderMark(in);
  std::string text;
  std::size_t number = 0;
  while (ReadTextLine(in, text)) {
    ++number;
    auto fields = SplitFields(text, 2);
    if (fields.empty()) continue;
    LVarLine line;
    line.number = number;
    line.name = std::move(fields[0]);
    if (fields.size() > 1) {
      line.category = CategoryFromWord(fields[1]);
      line.word = std::move(fields[1]);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::unique_ptr<LVarEntry>> TableEntries(const std::vector<LVarLine>& lines) {
  std::vector<std::unique_ptr<LVarEntry>> entries;
  for (const auto& line : lines) {
    auto entry = std::make_unique<LVarEntry>();
    entry->name = line.name;
    entry->category = line.category;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::unique_ptr<LVarEntry>> ParseLVarTable(std::istream& in) {
  return TableEntries(ReadLVarLines(in));
}

std::vector<std::string> LVarTableProblems(const std::vector<LVarLine>& lines) {
  std::vector<std::string> problems;
  std::map<std::string, std::size_t> firstLineOf;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const LVarLine& line = lines[i];
    if (line.name.empty()) {
      problems.push_back(At(line) + "the variable name is empty");
    } else if (Trimmed(line.name) != line.name) {
      problems.push_back(At(line) + "the variable name \"" + line.name +
                         "\" has blanks at its start or end, which become part of the name");
    }
    if (const auto [first, added] = firstLineOf.emplace(line.name, line.number); !added) {
      problems.push_back(At(line) + "\"" + line.name + "\" is listed already on line " +
                         std::to_string(first->second));
    }
    if (line.word && line.category == LVarCategory::kNone && *line.word != kNoneWord) {
      problems.push_back(WordProblem(line));
    }
    if (line.category == LVarCategory::kFcuHeading &&
        (i == 0 || lines[i - 1].category != LVarCategory::kFcu)) {
      problems.push_back(At(line) + "FCUh entry \"" + line.name +
                         "\" must come directly after an FCU entry; it is never sent");
    }
  }
  return problems;
}
