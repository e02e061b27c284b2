// The module built without miniupnpc: the router is never asked, and the log
// tells the pilot to forward the ports by hand.
#include "net/router_ports.h"

struct RouterPorts::Gateway {};

RouterPorts::RouterPorts(std::vector<std::uint16_t> ports, std::chrono::milliseconds discoveryWait,
                         std::chrono::seconds lease)
    : ports_(std::move(ports)), discoveryWait_(discoveryWait), lease_(lease) {}

RouterPorts::~RouterPorts() = default;

RouterOutcome RouterPorts::Open() {
  RouterOutcome outcome;
  outcome.lines.push_back("Router: router mapping is not built into this module; forward " +
                          PortList(ports_) + " to this computer in the router by hand");
  return outcome;
}

std::vector<std::string> RouterPorts::Renew() { return {}; }

std::string RouterPorts::Close() { return {}; }
