// SharedConfig.cfg as any text: lines come out whole, without their line
// ends, and a later line is never had without the earlier ones (option lines
// only after line 2); an address is read from one spelling only, the one it
// is written back as, and a port is always one P + 1 can follow.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "common/config_file.h"
#include "net/address_text.h"

namespace {
void CheckLine(const std::optional<std::string>& line) {
  if (!line) return;
  if (line->find_first_of("\r\n") != std::string::npos) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  const ConfigLines lines = ReadConfigLines(in);
  CheckLine(lines.peerAddress);
  CheckLine(lines.basePort);
  for (const auto& option : lines.options) CheckLine(option);
  if (lines.basePort && !lines.peerAddress) __builtin_trap();
  if (!lines.options.empty() && !lines.basePort) __builtin_trap();
  if (lines.peerAddress) {
    const auto address = ParsePeerAddress(*lines.peerAddress);
    if (address && AddressText(*address) != *lines.peerAddress) __builtin_trap();
    // A text is an address or a name, never both: a resolver would read a
    // name that looks numeric as an address by other rules.
    if (address && IsHostName(*lines.peerAddress)) __builtin_trap();
  }
  if (lines.basePort) {
    const auto port = ParseBasePort(*lines.basePort);
    if (port && (*port < 1 || *port > 65534)) __builtin_trap();
  }
  ConfigProblems(lines);
  return 0;
}
