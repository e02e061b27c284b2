#include "session/text_lines.h"

#include <array>

void SkipByteOrderMark(std::istream& in) {
  constexpr std::array<char, 3> kMark = {'\xEF', '\xBB', '\xBF'};
  const auto start = in.tellg();
  std::array<char, 3> head{};
  if (in.read(head.data(), head.size()) && head == kMark) return;
  in.clear();
  in.seekg(start);
}

bool ReadTextLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
