#include "session/session_config.h"

#include <fstream>
#include <string>

#include "common/config_file.h"
#include "common/log.h"
#include "common/module_state.h"

void ReadSessionConfig() {
  Store(roleSetup.anySourceAllowed, false);
  Store(roleSetup.routerMappingAllowed, true);
  Store(roleSetup.closeFollow, false);
  Store(roleSetup.extensionAllowed, true);
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
    roleSetup.peerAddress = *lines.peerAddress;
    LogMessage(roleSetup.peerAddress);
  }
  if (lines.basePort) {
    roleSetup.basePort = *lines.basePort;
    LogMessage(roleSetup.basePort);
  }
  for (const auto& problem : ConfigProblems(lines)) LogMessage(problem);
  Store(roleSetup.anySourceAllowed, lines.AnySource());
  if (lines.AnySource()) LogMessage("Records accepted from any address");
  Store(roleSetup.routerMappingAllowed, lines.RouterMapping());
  Store(roleSetup.closeFollow, lines.CloseFollow());
  if (lines.CloseFollow()) {
    LogMessage("Close follow: the following aircraft flies where the other one is now");
  }
  Store(roleSetup.extensionAllowed, lines.Extension());
  if (!lines.Extension()) {
    LogMessage("Plain protocol: no hello; the other computer gets the protocol and nothing more");
  }
}
