// Two network namespaces joined by a virtual Ethernet pair: two "computers"
// on one machine. Names carry the test's process id and a counter, so tests
// may run in parallel; the destructor removes both namespaces (and with them
// the veth ends) whatever the test's outcome.
#pragma once

#include <memory>
#include <string>

namespace e2e {

class NetnsPair {
 public:
  // Both namespaces up, or nothing and the reason in `whyNot` (not root, no
  // `ip`, no permission to make namespaces, ...).
  static std::unique_ptr<NetnsPair> Create(std::string* whyNot);
  ~NetnsPair();
  NetnsPair(const NetnsPair&) = delete;
  NetnsPair& operator=(const NetnsPair&) = delete;

  const std::string& Namespace(int side) const { return names_[side]; }
  // Addresses from the benchmarking range, which no real network uses.
  static const char* Address(int side) { return side == 0 ? "198.18.0.1" : "198.18.0.2"; }

 private:
  NetnsPair() = default;
  std::string names_[2];
};

// Every namespace name this harness makes starts with this.
inline constexpr const char* kNamespacePrefix = "mse2e-";

// The namespace name of side 0 or 1 of pair `counter` made by process `pid`.
std::string NamespaceName(long pid, int counter, int side);

// Removes namespaces left behind by test processes that no longer run (a
// killed test cannot run its destructors); those of live processes stay.
void RemoveStaleNamespaces();

}  // namespace e2e
