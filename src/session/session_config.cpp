#include "session/session_config.h"

#include <fstream>
#include <string>

#include "module/globals.h"
#include "session/config_file.h"
#include "session/log.h"

void ReadSessionConfig() {
  Store(anySourceAllowed, false);
  Store(routerMappingAllowed, true);
  const auto path = ModuleFilePath("SharedConfig.cfg");
  if (!path) return;
  LogMessage(*path);
  std::ifstream in(*path, std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    LogMessage(
        "SharedConfig.cfg is missing: create it in that folder with the other computer's "
        "IPv4 address on line 1 and the base port on line 2");
    return;
  }
  const ConfigLines lines = ReadConfigLines(in);
  if (lines.peerAddress) {
    peerAddress = *lines.peerAddress;
    LogMessage(peerAddress);
  }
  if (lines.basePort) {
    basePort = *lines.basePort;
    LogMessage(basePort);
  }
  for (const auto& problem : ConfigProblems(lines)) LogMessage(problem);
  Store(anySourceAllowed, lines.AnySource());
  if (lines.AnySource()) LogMessage("Records accepted from any address");
  Store(routerMappingAllowed, lines.RouterMapping());
}

std::optional<std::uint32_t> PeerIpv4() {
  if (const auto plain = ParsePeerAddress(peerAddress)) return plain;
  if (!IsHostName(peerAddress)) return std::nullopt;
  const std::uint32_t resolved = Load(resolvedPeerIpv4);
  if (resolved == 0) return std::nullopt;
  return resolved;
}

int BasePortNumber() { return PortNumberOf(basePort); }

std::uint16_t DatagramPort() { return DatagramPortOf(BasePortNumber()); }

std::uint16_t ReliablePortField() { return static_cast<std::uint16_t>(BasePortNumber()); }
