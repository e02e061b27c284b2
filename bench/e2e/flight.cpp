#include "flight.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e_bench {
namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::trunc);
  file << text;
}

bool HasLine(const std::string& path, const std::string& wanted) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == wanted) return true;
  }
  return false;
}

}  // namespace

Flight::Flight(Programs programs, std::string folder, const std::string& table,
               const std::string& options)
    : programs_(std::move(programs)), folder_(std::move(folder)) {
  std::string whyNot;
  net_ = e2e::NetnsPair::Create(&whyNot);
  if (!net_) throw std::runtime_error("no network namespaces: " + whyNot);
  for (int side : {kServer, kClient}) {
    const fs::path module = fs::path(folder_) / Side(side) / "Veltrana" / "Quelvo";
    fs::create_directories(module);
    WriteText(module / "SharedConfig.cfg", std::string(e2e::NetnsPair::Address(1 - side)) + "\n" +
                                               std::to_string(kBasePort) + "\n" + options);
    WriteText(module / "LVars.cfg", table);
  }
  if (programs_.wine) {
    const std::string documents[] = {Side(kServer), Side(kClient)};
    const std::string failure = programs_.wine->Prepare(documents);
    if (!failure.empty()) throw std::runtime_error(failure);
  }
}

Flight::~Flight() {
  for (auto& sim : sims_) sim.reset();  // kills what still runs
  if (programs_.wine) {
    for (int side : {kServer, kClient}) programs_.wine->StopServer(side);
  }
}

std::string Flight::Side(int side) const {
  return (fs::path(folder_) / (side == kServer ? "server" : "client")).string();
}

std::string Flight::LogPath(int side) const {
  return (fs::path(Side(side)) / "Veltrana" / "Quelvo" / "SharedDetails.log").string();
}

std::vector<trace::Record> Flight::Trace(int side) const {
  return trace::ReadTraceFile((fs::path(Side(side)) / "trace.jsonl").string());
}

void Flight::Start(int side, const std::string& script, double durationSeconds) {
  const fs::path base = Side(side);
  WriteText(base / "script.txt", script);
  std::ostringstream duration;
  duration << durationSeconds;
  std::vector<std::string> argv{"ip", "netns", "exec", net_->Namespace(side)};
  if (programs_.wine) {
    const auto simhost = programs_.wine->Command(
        side,
        {programs_.wine->wine, programs_.simhost, "--module", e2e::WindowsPath(programs_.module),
         "--script", e2e::WindowsPath((base / "script.txt").string()), "--duration", duration.str(),
         "--trace", e2e::WindowsPath((base / "trace.jsonl").string())});
    argv.insert(argv.end(), simhost.begin(), simhost.end());
  } else {
    argv.insert(argv.end(),
                {programs_.simhost, "--module", programs_.module, "--documents", base.string(),
                 "--script", (base / "script.txt").string(), "--duration", duration.str(),
                 "--trace", (base / "trace.jsonl").string()});
  }
  sims_[side] = std::make_unique<e2e::ChildProcess>(argv, (base / "stdout.txt").string(),
                                                    (base / "stderr.txt").string());
}

void Flight::StartBoth(const std::string& serverScript, const std::string& clientScript,
                       double durationSeconds) {
  Start(kServer, serverScript, durationSeconds);
  // The client's reliable connect gives up after about 3 s, so the server
  // must listen before the client starts. Under emulated Wine a start takes
  // some 15 s.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!HasLine(LogPath(kServer), "serverLoop start")) {
    if (std::chrono::steady_clock::now() > deadline || !sims_[kServer]->Running()) {
      throw std::runtime_error("the server role did not start; see " + Side(kServer));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Start(kClient, clientScript, durationSeconds);
}

bool Flight::WaitForBoth(std::chrono::milliseconds limit) {
  bool clean = true;
  for (auto& sim : sims_) clean = sim->WaitFor(limit) == std::optional<int>(0) && clean;
  return clean;
}

std::string StartRoleLines(int side) {
  std::ostringstream lines;
  lines << "0.1 set MP_CONN " << side << "\n0.2 set MP_START 1\n";
  return lines.str();
}

}  // namespace e2e_bench
