#include "net/router_ports.h"

#include <miniupnpc.h>
#include <upnpcommands.h>
#include <upnperrors.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "common/config_file.h"

namespace {

constexpr const char* kMappingName = "MultiShared";
// UPnP's error for a port that another mapping holds, and for a router that
// only takes mappings without a lease.
constexpr int kConflictInMappingEntry = 718;
constexpr int kOnlyPermanentLeases = 725;

// Text the router sent, cut at its buffer's end and kept only when it is a
// dotted IPv4 address: a router's answer is as untrusted as any datagram.
std::string AddressFromRouter(const char* buffer, std::size_t size) {
  const std::string text(buffer, strnlen(buffer, size));
  return ParsePeerAddress(text) ? text : std::string();
}

std::string ErrorText(int code) {
  const char* text = strupnperror(code);
  return "error " + std::to_string(code) + (text != nullptr ? std::string(" ") + text : "");
}

}  // namespace

struct RouterPorts::Gateway {
  UPNPUrls urls{};
  IGDdatas data{};
  std::string localAddress;
  ~Gateway() { FreeUPNPUrls(&urls); }
};

RouterPorts::RouterPorts(std::vector<std::uint16_t> ports, std::chrono::milliseconds discoveryWait,
                         std::chrono::seconds lease)
    : ports_(std::move(ports)), discoveryWait_(discoveryWait), lease_(lease) {}

RouterPorts::~RouterPorts() = default;

RouterOutcome RouterPorts::Open() {
  RouterOutcome outcome;
  const std::string byHand = "forward " + PortList(ports_) +
                             " to this computer in the router by hand, or turn UPnP on there";
  int error = 0;
  UPNPDev* devices = upnpDiscover(static_cast<int>(discoveryWait_.count()), nullptr, nullptr,
                                  UPNP_LOCAL_PORT_ANY, 0, 2, &error);
  if (devices == nullptr) {
    outcome.lines.push_back("Router: no UPnP router answered; " + byHand);
    return outcome;
  }
  auto gateway = std::make_unique<Gateway>();
  std::array<char, 64> local{};
  std::array<char, 64> outside{};
  const int found = UPNP_GetValidIGD(devices, &gateway->urls, &gateway->data, local.data(),
                                     static_cast<int>(local.size()), outside.data(),
                                     static_cast<int>(outside.size()));
  freeUPNPDevlist(devices);
  if (found == UPNP_NO_IGD || found == UPNP_UNKNOWN_DEVICE) {
    outcome.lines.push_back("Router: no Internet gateway among the UPnP devices that answered; " +
                            byHand);
    return outcome;
  }
  gateway->localAddress = AddressFromRouter(local.data(), local.size());
  if (gateway->localAddress.empty()) {
    outcome.lines.push_back("Router: this computer's address toward the router is unknown; " +
                            byHand);
    return outcome;
  }
  gateway_ = std::move(gateway);
  std::array<char, 40> external{};
  if (UPNP_GetExternalIPAddress(gateway_->urls.controlURL, gateway_->data.first.servicetype,
                                external.data()) == UPNPCOMMAND_SUCCESS) {
    outcome.externalAddress = AddressFromRouter(external.data(), external.size());
  }
  if (found == UPNP_DISCONNECTED_IGD) {
    outcome.lines.push_back("Router: the router says it is not connected to the internet");
  }
  std::vector<std::string> refusals;
  std::vector<std::uint16_t> refused;
  for (const auto port : ports_) {
    const std::string why = MapOne(port);
    if (why.empty()) continue;
    refusals.push_back("Router: UDP " + std::to_string(port) + " not opened: " + why);
    refused.push_back(port);
  }
  const std::string where = outcome.externalAddress.empty()
                                ? "the router (it did not tell its outside address)"
                                : outcome.externalAddress;
  if (refusals.empty()) {
    outcome.answer = RouterAnswer::kMapped;
    outcome.lines.push_back("Router: " + PortList(ports_) + " opened on " + where);
    if (found == UPNP_PRIVATEIP_IGD) {
      outcome.lines.push_back("Router: its outside address " + where +
                              " is a private one, so another router stands in front of it; "
                              "forward the ports there too");
    }
    return outcome;
  }
  outcome.answer = RouterAnswer::kRefused;
  if (!mapped_.empty())
    outcome.lines.push_back("Router: " + PortList(mapped_) + " opened on " + where);
  for (auto& line : refusals) outcome.lines.push_back(std::move(line));
  outcome.lines.push_back("Router: forward " + PortList(refused) + " to this computer (" +
                          gateway_->localAddress + ") in the router by hand");
  return outcome;
}

std::string RouterPorts::MapOne(std::uint16_t port) {
  const std::string number = std::to_string(port);
  const char* control = gateway_->urls.controlURL;
  const char* service = gateway_->data.first.servicetype;
  const char* local = gateway_->localAddress.c_str();
  std::string lease = std::to_string(lease_.count());
  int result = UPNP_AddPortMapping(control, service, number.c_str(), number.c_str(), local,
                                   kMappingName, "UDP", nullptr, lease.c_str());
  if (result == kOnlyPermanentLeases) {
    result = UPNP_AddPortMapping(control, service, number.c_str(), number.c_str(), local,
                                 kMappingName, "UDP", nullptr, "0");
  }
  if (result == kConflictInMappingEntry) {
    std::array<char, 64> holder{};
    std::array<char, 16> holderPort{};
    std::array<char, 96> description{};
    std::array<char, 8> enabled{};
    std::array<char, 32> duration{};
    if (UPNP_GetSpecificPortMappingEntry(control, service, number.c_str(), "UDP", nullptr,
                                         holder.data(), holderPort.data(), description.data(),
                                         enabled.data(), duration.data()) == UPNPCOMMAND_SUCCESS) {
      const std::string other = AddressFromRouter(holder.data(), holder.size());
      if (other != gateway_->localAddress) {
        return "the router has it mapped to another computer" +
               (other.empty() ? std::string() : " (" + other + ")");
      }
    }
    return "the router refused it (" + ErrorText(result) + ")";
  }
  if (result != UPNPCOMMAND_SUCCESS) return "the router refused it (" + ErrorText(result) + ")";
  if (std::find(mapped_.begin(), mapped_.end(), port) == mapped_.end()) mapped_.push_back(port);
  return {};
}

std::vector<std::string> RouterPorts::Renew() {
  std::vector<std::string> lines;
  if (!gateway_) return lines;
  for (const auto port : ports_) {
    const std::string why = MapOne(port);
    if (!why.empty())
      lines.push_back("Router: UDP " + std::to_string(port) + " not renewed: " + why);
  }
  return lines;
}

std::string RouterPorts::Close() {
  if (!gateway_ || mapped_.empty()) return {};
  std::vector<std::uint16_t> left;
  for (const auto port : mapped_) {
    const std::string number = std::to_string(port);
    if (UPNP_DeletePortMapping(gateway_->urls.controlURL, gateway_->data.first.servicetype,
                               number.c_str(), "UDP", nullptr) != UPNPCOMMAND_SUCCESS) {
      left.push_back(port);
    }
  }
  const std::string closed = "Router: " + PortList(mapped_) + " closed";
  mapped_.clear();
  if (left.empty()) return closed;
  return "Router: " + PortList(left) +
         " could not be closed; the router drops them when the lease ends";
}
