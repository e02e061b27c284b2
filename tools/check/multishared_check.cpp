// multishared-check: what pilots run beside the module when the session does
// not come up. "files" reads the configuration as the module does and names
// every mistake; "link", run on both computers at once, tries both ports in
// both directions; "tables" compares two LVars.cfg files as two connected
// instances compare theirs.
#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "check_files.h"
#include "check_link.h"
#include "check_tables.h"
#include "common/config_file.h"
#include "common/log.h"
#include "net/address_text.h"
#include "net/router_ports.h"
#include "platform/platform.h"

namespace {

constexpr int kClean = 0;
constexpr int kProblems = 1;
constexpr int kBadUsage = 2;
// The checker waits for the router a little longer than the module: a pilot
// runs it once, by hand, to learn what the router says.
constexpr std::chrono::milliseconds kRouterDiscoveryWait{2000};
constexpr std::chrono::seconds kRouterLease{600};
// A probe that reaches a router before its mapping exists leaves a connection
// entry there that keeps the later ones from being forwarded; so neither side
// probes before the routers on both sides had this long to map.
constexpr std::chrono::milliseconds kRouterSettle{3000};

const char* AnswerWord(RouterAnswer answer) {
  switch (answer) {
    case RouterAnswer::kMapped:
      return "mapped";
    case RouterAnswer::kRefused:
      return "refused";
    case RouterAnswer::kNoRouter:
      break;
  }
  return "none";
}

// Opens both ports in the router, as the host's module does, so that the
// peer's probes can come in while the check runs; prints what it answered.
std::unique_ptr<RouterPorts> OpenRouter(const FilesReport& report) {
  if (!report.routerMapping) {
    std::cout << "Router: not asked (SharedConfig.cfg has the option " << kNoRouterWord << ")\n";
    return nullptr;
  }
  const int base = *report.basePort;
  auto router = std::make_unique<RouterPorts>(
      std::vector<std::uint16_t>{DatagramPortOf(base), ReliableWirePortOf(base)},
      kRouterDiscoveryWait, kRouterLease);
  const RouterOutcome outcome = router->Open();
  for (const auto& line : outcome.lines) std::cout << line << "\n";
  std::cout << "Router answer: " << AnswerWord(outcome.answer) << "; outside address: "
            << (outcome.externalAddress.empty() ? "unknown" : outcome.externalAddress) << "\n"
            << std::flush;
  return router;
}

std::string DefaultFolder() { return ModuleFolder().value_or(""); }

int RunFiles(const std::string& folder) {
  std::cout << "Checking " << folder << "\n";
  const FilesReport report = CheckFiles(folder);
  for (const auto& note : report.notes) std::cout << note << "\n";
  for (const auto& problem : report.problems) std::cout << "PROBLEM: " << problem << "\n";
  if (report.basePort) {
    std::cout << "Open these UDP ports, inbound, in the firewall of both computers (and forward "
                 "them on each router when the computers meet over the internet):\n";
    for (const auto& line : PortLines(*report.basePort)) std::cout << line << "\n";
  }
  std::cout << (report.problems.empty()
                    ? "No problems found.\n"
                    : std::to_string(report.problems.size()) + " problem(s) found.\n");
  return report.problems.empty() ? kClean : kProblems;
}

int RunLink(const std::string& folder, int seconds) {
  const FilesReport report = CheckFiles(folder);
  if (!report.peerAddress || !report.basePort || *report.basePort < 1 || *report.basePort > 65534) {
    for (const auto& problem : report.problems) std::cout << "PROBLEM: " << problem << "\n";
    std::cout << "SharedConfig.cfg in " << folder
              << " must name the other computer and the base port first.\n";
    return kProblems;
  }
  LinkSettings settings{*report.peerAddress, *report.basePort, std::chrono::seconds(seconds)};
  const bool socketsUp = platform::SocketsStartup() == 0;
  if (!ParsePeerAddress(settings.peerAddress) && IsHostName(settings.peerAddress)) {
    // A dynamic-DNS name: the link is tried with the address it has now.
    std::uint32_t address = 0;
    std::string why;
    if (!platform::ResolveIpv4(settings.peerAddress.c_str(), &address, &why)) {
      std::cout << "PROBLEM: the name \"" << settings.peerAddress << "\" on line 1 does not "
                << "resolve (" << why << "); check its spelling and the dynamic-DNS service\n";
      if (socketsUp) platform::SocketsCleanup();
      return kProblems;
    }
    std::cout << "Line 1: " << settings.peerAddress << " is " << AddressText(address) << "\n";
    settings.peerAddress = AddressText(address);
  }
  std::cout << "Trying the link with " << settings.peerAddress << " for up to " << seconds
            << " s; run this on the other computer now too.\n"
            << std::flush;
  const auto routerStart = std::chrono::steady_clock::now();
  const auto router = OpenRouter(report);
  std::this_thread::sleep_until(routerStart + kRouterSettle);
  const LinkResult result = RunLinkCheck(settings);
  if (router) {
    const std::string closed = router->Close();
    if (!closed.empty()) std::cout << closed << "\n";
  }
  if (socketsUp) platform::SocketsCleanup();
  const auto lines = LinkVerdict(settings, result);
  for (const auto& line : lines) std::cout << line << "\n";
  const bool works = result.setupError.empty() && result.datagramIn && result.datagramOut &&
                     result.reliableIn && result.reliableOut;
  std::cout << (works ? "The link works both ways on both ports.\n"
                      : "The link does not work yet; see the fixes above.\n");
  return works ? kClean : kProblems;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Checks MultiShared's configuration and the link between the two computers."};
  app.require_subcommand(1);
  std::string folder = DefaultFolder();
  int seconds = 30;
  auto* files = app.add_subcommand("files",
                                   "read SharedConfig.cfg and LVars.cfg and name every "
                                   "mistake, then the ports to open");
  files->add_option("FOLDER", folder, "the module's folder (default: the one the module uses)");
  auto* link = app.add_subcommand("link",
                                  "run on both computers at once: try both ports in both "
                                  "directions");
  link->add_option("FOLDER", folder, "the folder holding SharedConfig.cfg");
  link->add_option("--seconds", seconds, "how long to try at most")->check(CLI::Range(3, 600));
  std::string hereFile;
  std::string peerFile;
  auto* tables = app.add_subcommand("tables",
                                    "compare two LVars.cfg files: the first entry that differs, "
                                    "the variables shared by name, those on one side only");
  tables->add_option("FILE_A", hereFile, "this computer's LVars.cfg")->required();
  tables->add_option("FILE_B", peerFile, "the other computer's LVars.cfg")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return kBadUsage;
  }
  if (tables->parsed()) return CheckTables(hereFile, peerFile, std::cout);
  if (folder.empty()) {
    std::cerr << "The documents folder is unknown: name the module's folder.\n";
    return kBadUsage;
  }
  return files->parsed() ? RunFiles(folder) : RunLink(folder, seconds);
}
