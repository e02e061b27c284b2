// The "files" check: both configuration files of a folder read with the
// module's own parsing, and what a pilot must mend in them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FilesReport {
  std::vector<std::string> problems;  // one line each, empty when clean
  std::vector<std::string> notes;     // what was found (counts, ports)
  std::optional<std::string> peerAddress;
  std::optional<int> basePort;  // P, when line 2 is a port number
  bool routerMapping = true;    // no option "no upnp" turns UPnP off
};

FilesReport CheckFiles(const std::string& folder);

// The firewall lines for base port P: UDP P + 1 and UDP P byte-swapped.
std::vector<std::string> PortLines(int basePort);
