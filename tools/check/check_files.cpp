#include "check_files.h"

#include <filesystem>
#include <fstream>

#include "common/config_file.h"
#include "lvars/lvar_file.h"

namespace fs = std::filesystem;

namespace {

void CheckConfig(const fs::path& folder, FilesReport& report) {
  std::ifstream in(folder / "SharedConfig.cfg", std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    report.problems.push_back(
        "SharedConfig.cfg is missing: create it with the other computer's IPv4 address on line 1 "
        "and the base port on line 2");
    return;
  }
  const ConfigLines lines = ReadConfigLines(in);
  for (const auto& problem : ConfigProblems(lines)) report.problems.push_back(problem);
  report.peerAddress = lines.peerAddress;
  // A refused port has no ports to open.
  if (lines.basePort) report.basePort = ParseBasePort(*lines.basePort);
  report.routerMapping = lines.RouterMapping();
  if (lines.peerAddress) report.notes.push_back("Other computer: " + *lines.peerAddress);
}

void CheckTable(const fs::path& folder, FilesReport& report) {
  std::ifstream in(folder / "LVars.cfg", std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    report.problems.push_back(
        "LVars.cfg is missing: without it the session never starts (copy the add-on's list)");
    return;
  }
  const std::vector<LVarLine> lines = ReadLVarLines(in);
  if (lines.empty()) {
    report.problems.push_back("LVars.cfg lists no variable: the session never starts");
    return;
  }
  for (const auto& problem : LVarTableProblems(lines)) report.problems.push_back(problem);
  report.notes.push_back("LVars.cfg: " + std::to_string(lines.size()) + " shared variables");
}

}  // namespace

FilesReport CheckFiles(const std::string& folder) {
  FilesReport report;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    report.problems.push_back("The folder " + folder +
                              " does not exist: create it (Documents\\Veltrana\\Quelvo) and put "
                              "SharedConfig.cfg and LVars.cfg in it; the module writes its log "
                              "there too");
    return report;
  }
  CheckConfig(folder, report);
  CheckTable(folder, report);
  return report;
}

std::vector<std::string> PortLines(int basePort) {
  return {"  UDP " + std::to_string(DatagramPortOf(basePort)) +
              "  (base port + 1: aircraft state and most cockpit changes)",
          "  UDP " + std::to_string(ReliableWirePortOf(basePort)) + "  (base port " +
              std::to_string(basePort) + " with its two bytes swapped: the reliable channel)"};
}
