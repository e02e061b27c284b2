#include "session/config_file.h"

#include <cstdlib>

#include "platform/platform.h"
#include "session/text_lines.h"

namespace {

constexpr int kHighestBasePort = 65534;  // P + 1 must still be a port

bool IsIpv4Address(const std::string& text) {
  std::uint32_t address = 0;
  return platform::ParseAddress(text.c_str(), &address);
}

bool IsLabelChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsPortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int number = std::atoi(text.c_str());
  return number >= 1 && number <= kHighestBasePort;
}

}  // namespace

bool IsHostName(const std::string& text) {
  constexpr std::size_t kMaxName = 253;
  constexpr std::size_t kMaxLabel = 63;
  if (text.empty() || text.size() > kMaxName) return false;
  bool letter = false;
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      const std::size_t length = i - labelStart;
      if (length == 0 || length > kMaxLabel) return false;
      if (text[labelStart] == '-' || text[i - 1] == '-') return false;
      labelStart = i + 1;
      continue;
    }
    if (!IsLabelChar(text[i])) return false;
    if (text[i] < '0' || text[i] > '9') letter = true;
  }
  return letter;
}

ConfigLines ReadConfigLines(std::istream& in) {
  ConfigLines lines;
  SkipByteOrderMark(in);
  std::string line;
  if (!ReadTextLine(in, line)) return lines;
  lines.peerAddress = line;
  if (!ReadTextLine(in, line)) return lines;
  lines.basePort = line;
  if (!ReadTextLine(in, line)) return lines;
  lines.sourceRule = line;
  if (ReadTextLine(in, line)) lines.routerRule = line;
  return lines;
}

std::vector<std::string> ConfigProblems(const ConfigLines& lines) {
  std::vector<std::string> problems;
  if (!lines.peerAddress) {
    problems.push_back(
        "SharedConfig.cfg line 1: missing; it must hold the other computer's IPv4 address");
  } else if (!IsIpv4Address(*lines.peerAddress) && !IsHostName(*lines.peerAddress)) {
    problems.push_back("SharedConfig.cfg line 1: \"" + *lines.peerAddress +
                       "\" is neither an IPv4 address such as 192.168.1.20 nor a host name such "
                       "as copilot.example.net (no blanks); nothing can reach the other computer");
  }
  if (!lines.basePort) {
    problems.push_back(
        "SharedConfig.cfg line 2: missing; it must hold the base port, a number from 1 to 65534");
  } else if (!IsPortNumber(*lines.basePort)) {
    problems.push_back("SharedConfig.cfg line 2: \"" + *lines.basePort +
                       "\" is not a port number from 1 to 65534 (the module uses " +
                       std::to_string(PortNumberOf(*lines.basePort)) + ")");
  }
  if (lines.sourceRule && !lines.sourceRule->empty() && !lines.AnySource()) {
    problems.push_back("SharedConfig.cfg line 3: \"" + *lines.sourceRule + "\" is ignored; only " +
                       kAnySourceWord + " (records from every address) is understood there");
  }
  if (lines.routerRule && !lines.routerRule->empty() && lines.RouterMapping()) {
    problems.push_back("SharedConfig.cfg line 4: \"" + *lines.routerRule + "\" is ignored; only " +
                       kNoRouterWord +
                       " (do not ask the router to open the ports) is understood there");
  }
  return problems;
}

int PortNumberOf(const std::string& text) { return std::atoi(text.c_str()); }

std::uint16_t DatagramPortOf(int basePort) { return static_cast<std::uint16_t>(basePort + 1); }

std::uint16_t ReliableWirePortOf(int basePort) {
  const auto field = static_cast<std::uint16_t>(basePort);
  return static_cast<std::uint16_t>((field >> 8) | (field << 8));
}
