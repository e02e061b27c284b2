// SharedConfig.cfg as any text: lines come out whole, without their line
// ends, and a later line is never had without the earlier ones.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "session/config_file.h"

namespace {
void CheckLine(const std::optional<std::string>& line) {
  if (!line) return;
  if (line->find('\n') != std::string::npos) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  const ConfigLines lines = ReadConfigLines(in);
  CheckLine(lines.peerAddress);
  CheckLine(lines.basePort);
  CheckLine(lines.sourceRule);
  CheckLine(lines.routerRule);
  if (lines.basePort && !lines.peerAddress) __builtin_trap();
  if (lines.sourceRule && !lines.basePort) __builtin_trap();
  if (lines.routerRule && !lines.sourceRule) __builtin_trap();
  ConfigProblems(lines);
  return 0;
}
