// Opening this computer's UDP ports in the home router through UPnP: find the
// Internet gateway, map each port to this computer, ask the outside address,
// and delete the mappings again. Every call waits a bounded time (the
// discovery wait and a few seconds per exchange) and never throws.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the router answered, in the words the log and the checker use.
enum class RouterAnswer {
  kMapped,    // every port is open
  kRefused,   // the router answered but would not map at least one port
  kNoRouter,  // no UPnP Internet gateway answered
};

struct RouterOutcome {
  RouterAnswer answer = RouterAnswer::kNoRouter;
  std::string externalAddress;     // the router's outside address, when it told it
  std::vector<std::string> lines;  // the log lines that say what happened and what to do
};

// A router found by discovery, kept so that the lease can be renewed and the
// mappings deleted without another discovery.
class RouterPorts {
 public:
  // ports: the UDP ports to open, each forwarded to the same port here.
  RouterPorts(std::vector<std::uint16_t> ports, std::chrono::milliseconds discoveryWait,
              std::chrono::seconds lease);
  ~RouterPorts();
  RouterPorts(const RouterPorts&) = delete;
  RouterPorts& operator=(const RouterPorts&) = delete;

  // Discovers the gateway (once) and maps every port for the lease.
  RouterOutcome Open();
  // Maps the ports again, which renews the lease; empty when all went well,
  // otherwise the lines that say why not.
  std::vector<std::string> Renew();
  // Deletes the mappings this object made; the line saying so, or why not.
  std::string Close();

  // "UDP 5001 and 34835".
  static std::string PortList(const std::vector<std::uint16_t>& ports);

 private:
  struct Gateway;
  std::string MapOne(std::uint16_t port);

  std::vector<std::uint16_t> ports_;
  std::vector<std::uint16_t> mapped_;
  std::chrono::milliseconds discoveryWait_;
  std::chrono::seconds lease_;
  std::unique_ptr<Gateway> gateway_;
};
