#include "common/text_lines.h"

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
  line.clear();
  std::istream::int_type c = in.get();
  if (c == std::istream::traits_type::eof()) return false;
  for (; c != std::istream::traits_type::eof(); c = in.get()) {
    if (c == '\n') return true;
    if (c == '\r') {
      if (in.peek() == '\n') in.get();
      return true;
    }
    line += std::istream::traits_type::to_char_type(c);
  }
  return true;  // the last line may lack its line end
}
