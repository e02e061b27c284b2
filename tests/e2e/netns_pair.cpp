#include "netns_pair.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "process.h"

namespace e2e {
namespace {

// Both veth ends are made directly inside their namespaces, so they can share
// one name and nothing is ever left in the host's own namespace.
constexpr const char* kLinkName = "e2e0";
// Where "ip netns exec" finds a namespace's own files for /etc.
constexpr const char* kEtcNetns = "/etc/netns";

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
         (side == 0   ? "-a"
          : side == 1 ? "-b"
                      : "-r");
}

namespace {

// Home behind the router behind which the internet side lies; the sides are
// already made, the router's namespace too.
bool WireThroughRouter(const std::string& home, const std::string& router,
                       const std::string& internet, std::string* whyNot) {
  const std::string in = kRouterInsideLink;
  const std::string out = kRouterOutsideLink;
  return Ip({"link", "add", in, "netns", home, "type", "veth", "peer", "name", in, "netns", router},
            whyNot) &&
         Ip({"link", "add", out, "netns", router, "type", "veth", "peer", "name", out, "netns",
             internet},
            whyNot) &&
         Ip({"-n", home, "addr", "add", std::string(kHomeAddress) + "/24", "dev", in}, whyNot) &&
         Ip({"-n", router, "addr", "add", std::string(kRouterInside) + "/24", "dev", in}, whyNot) &&
         Ip({"-n", router, "addr", "add", std::string(kRouterOutside) + "/24", "dev", out},
            whyNot) &&
         Ip({"-n", internet, "addr", "add", std::string(kInternetAddress) + "/24", "dev", out},
            whyNot) &&
         Ip({"-n", home, "link", "set", in, "up"}, whyNot) &&
         Ip({"-n", router, "link", "set", in, "up"}, whyNot) &&
         Ip({"-n", router, "link", "set", out, "up"}, whyNot) &&
         Ip({"-n", internet, "link", "set", out, "up"}, whyNot) &&
         Ip({"-n", router, "link", "set", "lo", "up"}, whyNot) &&
         Ip({"-n", home, "route", "add", "default", "via", kRouterInside}, whyNot) &&
         RunCommand({"ip", "netns", "exec", router, "sysctl", "-q", "-w", "net.ipv4.ip_forward=1"})
                 .exitCode == 0;
}

}  // namespace

std::string NetnsPair::PeerAddress(int side) const {
  if (router_.empty()) return Address(1 - side);
  return side == 0 ? kInternetAddress : kRouterOutside;
}

std::unique_ptr<NetnsPair> NetnsPair::Create(std::string* whyNot, bool throughRouter) {
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
  if (throughRouter) {
    const std::string router = NamespaceName(::getpid(), counter, 2);
    Ip({"netns", "delete", router}, nullptr);
    if (!Ip({"netns", "add", router}, whyNot)) return nullptr;
    pair->router_ = router;
    const bool wired = WireThroughRouter(a, router, b, whyNot) &&
                       Ip({"-n", a, "link", "set", "lo", "up"}, whyNot) &&
                       Ip({"-n", b, "link", "set", "lo", "up"}, whyNot);
    if (!wired) return nullptr;
    return pair;
  }
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

bool NetnsPair::WriteResolver(int side, const std::string& hosts,
                              const std::string& options) const {
  const std::filesystem::path folder = std::filesystem::path(kEtcNetns) / names_[side];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::ofstream(folder / "hosts") << "127.0.0.1 localhost\n" << hosts;
  std::ofstream(folder / "resolv.conf") << "nameserver 127.0.0.1\n"
                                        << (options.empty() ? "" : "options " + options + "\n");
  return !error && std::filesystem::exists(folder / "resolv.conf");
}

NetnsPair::~NetnsPair() {
  for (const auto& name : names_) {
    if (name.empty()) continue;
    Ip({"netns", "delete", name}, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(kEtcNetns) / name, ignored);
  }
  if (!router_.empty()) Ip({"netns", "delete", router_}, nullptr);
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
