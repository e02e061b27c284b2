#include "lvars/lvar_file.h"

#include <array>
#include <sstream>
#include <string>
#include <utility>

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

}  // namespace

LVarCategory CategoryFromWord(std::string_view word) {
  for (const auto& [text, category] : kCategoryWords) {
    if (word == text) return category;
  }
  return LVarCategory::kNone;
}

std::vector<std::unique_ptr<LVarEntry>> ParseLVarTable(std::istream& in) {
  std::vector<std::unique_ptr<LVarEntry>> entries;
  std::string line;
  while (std::getline(in, line)) {
    // A file written on Windows and read byte for byte keeps the CR of each
    // CR LF; text mode there drops it, so it is dropped here too.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto fields = SplitFields(line, 2);
    if (fields.empty()) continue;
    auto entry = std::make_unique<LVarEntry>();
    entry->name = std::move(fields[0]);
    if (fields.size() > 1) entry->category = static_cast<std::int32_t>(CategoryFromWord(fields[1]));
    entries.push_back(std::move(entry));
  }
  return entries;
}
