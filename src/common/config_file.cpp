#include "common/config_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>

#include "common/text_lines.h"

namespace {

constexpr int kHighestBasePort = 65534;  // P + 1 must still be a port

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number of one dotted field; `leadingZero` tells a refused "010" apart.
std::optional<int> AddressField(std::string_view field, bool& leadingZero) {
  if (field.empty() || field.size() > 3) return std::nullopt;
  int number = 0;
  for (const char c : field) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (field.size() > 1 && field.front() == '0') {
    leadingZero = true;
    return std::nullopt;
  }
  if (number > 255) return std::nullopt;
  return number;
}

// ParsePeerAddress, telling whether a leading zero was the reason to refuse.
std::optional<std::uint32_t> ParseAddressText(std::string_view text, bool& leadingZero) {
  std::array<std::uint8_t, 4> bytes{};
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t dot = text.find('.', start);
    const bool last = i + 1 == bytes.size();
    if (last != (dot == std::string_view::npos)) return std::nullopt;
    const std::size_t end = last ? text.size() : dot;
    const auto number = AddressField(text.substr(start, end - start), leadingZero);
    if (!number) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(*number);
    start = end + 1;
  }
  // Network order keeps the first number of the text first in memory.
  std::uint32_t address = 0;
  std::memcpy(&address, bytes.data(), bytes.size());
  return address;
}

// The text with its leading zeros removed, to show the pilot what is meant.
std::string WithoutLeadingZeros(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool fieldStart = i == 0 || text[i - 1] == '.';
    if (fieldStart) {
      while (i + 1 < text.size() && text[i] == '0' && IsDigit(text[i + 1])) ++i;
    }
    out += text[i];
  }
  return out;
}

std::string AddressProblem(const std::string& text) {
  const std::string start = "SharedConfig.cfg line 1: \"" + text + "\" ";
  const std::string end = "; nothing is sent to the other computer until it is mended";
  bool leadingZero = false;
  ParseAddressText(text, leadingZero);
  if (leadingZero) {
    return start +
           "has a number with a leading zero, which some programs read as octal "
           "(another computer); write it without, such as " +
           WithoutLeadingZeros(text) + end;
  }
  return start +
         "is neither an IPv4 address such as 192.168.1.20 nor a host name such as "
         "copilot.example.net (no blanks)" +
         end;
}

}  // namespace

std::optional<std::uint32_t> ParsePeerAddress(std::string_view text) {
  bool leadingZero = false;
  return ParseAddressText(text, leadingZero);
}

bool IsHostName(std::string_view text) {
  constexpr std::size_t kMaxName = 253;
  constexpr std::size_t kMaxLabel = 63;
  if (text.empty() || text.size() > kMaxName) return false;
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      const std::size_t length = i - labelStart;
      if (length == 0 || length > kMaxLabel) return false;
      if (text[labelStart] == '-' || text[i - 1] == '-') return false;
      if (i == text.size() && IsDigit(text[labelStart])) return false;
      labelStart = i + 1;
      continue;
    }
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !IsDigit(c) && c != '-') return false;
  }
  return true;
}

std::optional<int> ParseBasePort(std::string_view text) {
  // Five digits at most: longer text would overflow the sum below it.
  if (text.empty() || text.size() > 5) return std::nullopt;
  int number = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > kHighestBasePort) return std::nullopt;
  return number;
}

bool ConfigLines::HasOption(std::string_view word) const {
  for (const std::string& option : options) {
    if (option == word) return true;
  }
  return false;
}

ConfigLines ReadConfigLines(std::istream& in) {
  ConfigLines lines;
  SkipByteOrderMark(in);
  std::string line;
  if (!ReadTextLine(in, line)) return lines;
  lines.peerAddress = line;
  if (!ReadTextLine(in, line)) return lines;
  lines.basePort = line;
  while (ReadTextLine(in, line)) lines.options.push_back(line);
  return lines;
}

std::vector<std::string> ConfigProblems(const ConfigLines& lines) {
  std::vector<std::string> problems;
  if (!lines.peerAddress) {
    problems.push_back(
        "SharedConfig.cfg line 1: missing; it must hold the other computer's IPv4 address or "
        "host name");
  } else if (!ParsePeerAddress(*lines.peerAddress) && !IsHostName(*lines.peerAddress)) {
    problems.push_back(AddressProblem(*lines.peerAddress));
  }
  if (!lines.basePort) {
    problems.push_back(
        "SharedConfig.cfg line 2: missing; it must hold the base port, a number from 1 to 65534");
  } else if (!ParseBasePort(*lines.basePort)) {
    problems.push_back("SharedConfig.cfg line 2: \"" + *lines.basePort +
                       "\" is not a port number from 1 to 65534 (digits only); nothing is sent "
                       "to the other computer until it is mended");
  }
  struct Option {
    const char* word;
    const char* meaning;
  };
  static constexpr Option kOptions[] = {
      {kAnySourceWord, "records from every address"},
      {kNoRouterWord, "do not ask the router to open the ports"},
      {kCloseFollowWord, "the following aircraft flies where the other is now"},
      {kPlainProtocolWord, "no hello: the protocol only"},
  };
  std::string known = "the options, one a line after line 2 in any order, are ";
  for (std::size_t k = 0; k < std::size(kOptions); ++k) {
    if (k > 0) known += k + 1 == std::size(kOptions) ? " and " : ", ";
    known += std::string(kOptions[k].word) + " (" + kOptions[k].meaning + ")";
  }
  constexpr std::size_t kFirstOptionLine = 3;
  for (std::size_t i = 0; i < lines.options.size(); ++i) {
    const std::string& option = lines.options[i];
    const bool understood = std::any_of(std::begin(kOptions), std::end(kOptions),
                                        [&option](const Option& o) { return option == o.word; });
    if (option.empty() || understood) continue;
    problems.push_back("SharedConfig.cfg line " + std::to_string(kFirstOptionLine + i) + ": \"" +
                       option + "\" is ignored; " + known);
  }
  return problems;
}

int PortNumberOf(const std::string& text) { return ParseBasePort(text).value_or(0); }

std::uint16_t DatagramPortOf(int basePort) { return static_cast<std::uint16_t>(basePort + 1); }

std::uint16_t ReliableWirePortOf(int basePort) {
  const auto field = static_cast<std::uint16_t>(basePort);
  return static_cast<std::uint16_t>((field >> 8) | (field << 8));
}
