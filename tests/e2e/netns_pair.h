// Two network namespaces joined by a virtual Ethernet pair: two "computers"
// on one machine. Names carry the test's process id and a counter, so tests
// may run in parallel; the destructor removes both namespaces (and with them
// the veth ends) whatever the test's outcome.
//
// Through a router: side 0 is a computer at home (10.77.0.2) behind a third
// namespace, the home router, which masquerades home's traffic onto its
// outside address 198.51.100.1; side 1 is a computer on the internet
// (198.51.100.2). Nothing reaches home from outside unless the router maps it.
#pragma once

#include <memory>
#include <string>

namespace e2e {

class NetnsPair {
 public:
  // Both namespaces up, or nothing and the reason in `whyNot` (not root, no
  // `ip`, no permission to make namespaces, ...).
  static std::unique_ptr<NetnsPair> Create(std::string* whyNot, bool throughRouter = false);
  ~NetnsPair();
  NetnsPair(const NetnsPair&) = delete;
  NetnsPair& operator=(const NetnsPair&) = delete;

  const std::string& Namespace(int side) const { return names_[side]; }
  // Host names for side's resolver: "ip netns exec" shows /etc/netns/NAME's
  // files in place of /etc's, so `hosts` becomes its /etc/hosts, and its DNS
  // server is one that is not there (no lookup leaves the namespace).
  // `options`: a resolv.conf options line's words, such as "timeout:30".
  bool WriteResolver(int side, const std::string& hosts,
                     const std::string& options = std::string()) const;
  // The router's namespace; empty without a router.
  const std::string& RouterNamespace() const { return router_; }
  // What line 1 of side's SharedConfig.cfg names: the other side as seen
  // from this one (through a router, home's router's outside address).
  std::string PeerAddress(int side) const;
  // Addresses from the benchmarking range, which no real network uses.
  static const char* Address(int side) { return side == 0 ? "198.18.0.1" : "198.18.0.2"; }

 private:
  NetnsPair() = default;
  std::string names_[2];
  std::string router_;
};

// The routed layout's addresses.
inline constexpr const char* kHomeAddress = "10.77.0.2";
inline constexpr const char* kRouterInside = "10.77.0.1";
inline constexpr const char* kRouterOutside = "198.51.100.1";
inline constexpr const char* kInternetAddress = "198.51.100.2";
// The router's interfaces toward home and toward the internet.
inline constexpr const char* kRouterInsideLink = "e2e0";
inline constexpr const char* kRouterOutsideLink = "e2e1";

// Every namespace name this harness makes starts with this.
inline constexpr const char* kNamespacePrefix = "mse2e-";

// The namespace name of side 0 or 1 (2: the router) of pair `counter` made by
// process `pid`.
std::string NamespaceName(long pid, int counter, int side);

// Removes namespaces left behind by test processes that no longer run (a
// killed test cannot run its destructors); those of live processes stay.
void RemoveStaleNamespaces();

}  // namespace e2e
