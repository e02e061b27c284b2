#include "session/session_config.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include "module/globals.h"
#include "session/log.h"

namespace {
// The file is read as Windows reads it in text mode: a line end may be CR LF.
bool ReadLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
}  // namespace

SessionConfigLines ParseSessionConfig(std::istream& in) {
  SessionConfigLines lines;
  std::string line;
  if (!ReadLine(in, line)) return lines;
  lines.peerAddress = line;
  if (!ReadLine(in, line)) return lines;
  lines.basePort = line;
  lines.anySource = ReadLine(in, line) && line == kAnySourceWord;
  return lines;
}

void ReadSessionConfig() {
  Store(anySourceAllowed, false);
  const auto path = ModuleFilePath("SharedConfig.cfg");
  if (!path) return;
  LogMessage(*path);
  std::ifstream in(*path);
  if (!in.is_open()) return;
  const SessionConfigLines lines = ParseSessionConfig(in);
  if (!lines.peerAddress) return;
  peerAddress = *lines.peerAddress;
  LogMessage(peerAddress);
  if (!lines.basePort) return;
  basePort = *lines.basePort;
  LogMessage(basePort);
  Store(anySourceAllowed, lines.anySource);
  if (lines.anySource) LogMessage("Records accepted from any address");
}

int BasePortNumber() { return std::atoi(basePort.c_str()); }

std::uint16_t DatagramPort() { return static_cast<std::uint16_t>(BasePortNumber() + 1); }

std::uint16_t ReliablePortField() { return static_cast<std::uint16_t>(BasePortNumber()); }
