#include "netns_pair.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <sstream>

#include "process.h"

namespace e2e {
namespace {

// Both veth ends are made directly inside their namespaces, so they can share
// one name and nothing is ever left in the host's own namespace.
constexpr const char* kLinkName = "e2e0";

std::atomic<int> pairCounter{0};

bool ProcessAlive(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// "mse2e-<pid>-<counter>-<side>" gives <pid>, or -1 for other names.
long OwnerPid(const std::string& name) {
  if (name.rfind(kNamespacePrefix, 0) != 0) return -1;
  try {
    return std::stol(name.substr(std::string(kNamespacePrefix).size()));
  } catch (const std::exception&) {
    return -1;
  }
}

bool Ip(const std::vector<std::string>& arguments, std::string* whyNot) {
  std::vector<std::string> argv{"ip"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const CommandResult result = RunCommand(argv);
  if (result.exitCode == 0) return true;
  if (whyNot != nullptr) {
    std::string command;
    for (const auto& a : argv) command += a + " ";
    *whyNot =
        "'" + command + "' failed (exit " + std::to_string(result.exitCode) + "): " + result.output;
  }
  return false;
}

}  // namespace

std::string NamespaceName(long pid, int counter, int side) {
  return std::string(kNamespacePrefix) + std::to_string(pid) + "-" + std::to_string(counter) +
         (side == 0 ? "-a" : "-b");
}

std::unique_ptr<NetnsPair> NetnsPair::Create(std::string* whyNot) {
  if (::geteuid() != 0) {
    *whyNot = "network namespaces need root (running as uid " + std::to_string(::geteuid()) + ")";
    return nullptr;
  }
  RemoveStaleNamespaces();
  std::unique_ptr<NetnsPair> pair(new NetnsPair());
  const int counter = pairCounter.fetch_add(1);
  for (int side = 0; side < 2; ++side) {
    const std::string name = NamespaceName(::getpid(), counter, side);
    // A name of our own pid can only be left over from an earlier process
    // that had the same pid.
    Ip({"netns", "delete", name}, nullptr);
    if (!Ip({"netns", "add", name}, whyNot)) return nullptr;  // the destructor removes side 0
    pair->names_[side] = name;
  }
  const std::string& a = pair->names_[0];
  const std::string& b = pair->names_[1];
  const bool up =
      Ip({"link", "add", kLinkName, "netns", a, "type", "veth", "peer", "name", kLinkName, "netns",
          b},
         whyNot) &&
      Ip({"-n", a, "addr", "add", std::string(Address(0)) + "/30", "dev", kLinkName}, whyNot) &&
      Ip({"-n", b, "addr", "add", std::string(Address(1)) + "/30", "dev", kLinkName}, whyNot) &&
      Ip({"-n", a, "link", "set", kLinkName, "up"}, whyNot) &&
      Ip({"-n", b, "link", "set", kLinkName, "up"}, whyNot) &&
      Ip({"-n", a, "link", "set", "lo", "up"}, whyNot) &&
      Ip({"-n", b, "link", "set", "lo", "up"}, whyNot);
  if (!up) return nullptr;
  return pair;
}

NetnsPair::~NetnsPair() {
  for (const auto& name : names_) {
    if (!name.empty()) Ip({"netns", "delete", name}, nullptr);
  }
}

void RemoveStaleNamespaces() {
  const CommandResult list = RunCommand({"ip", "netns", "list"});
  if (list.exitCode != 0) return;
  std::istringstream lines(list.output);
  std::string line;
  while (std::getline(lines, line)) {
    // Lines read "NAME" or "NAME (id: N)".
    const std::string name = line.substr(0, line.find(' '));
    const long pid = OwnerPid(name);
    if (pid > 0 && !ProcessAlive(pid)) Ip({"netns", "delete", name}, nullptr);
  }
}

}  // namespace e2e
