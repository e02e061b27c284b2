// The ports' names in the router's log lines, with or without UPnP built in.
#include "net/router_ports.h"

std::string RouterPorts::PortList(const std::vector<std::uint16_t>& ports) {
  std::string text = "UDP";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    text += (i == 0 ? " " : " and ") + std::to_string(ports[i]);
  }
  return text;
}
