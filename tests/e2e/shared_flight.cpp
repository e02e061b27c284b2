#include "shared_flight.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <utility>

namespace e2e {
namespace fs = std::filesystem;

std::vector<Timed<trace::LvarWrite>> SideTrace::Writes(const std::string& name,
                                                       trace::By by) const {
  std::vector<Timed<trace::LvarWrite>> out;
  for (const auto& w : All<trace::LvarWrite>()) {
    if (w.body.name == name && w.body.by == by) out.push_back(w);
  }
  return out;
}

double SideTrace::Last(const std::string& name) const {
  double value = 0.0;
  for (const auto& w : All<trace::LvarWrite>()) {
    if (w.body.name == name) value = w.body.value;
  }
  return value;
}

std::optional<Timed<trace::LvarWrite>> SideTrace::FirstWrite(const std::string& name, double value,
                                                             trace::By by,
                                                             std::int64_t afterNs) const {
  for (const auto& w : Writes(name, by)) {
    if (w.monoNs >= afterNs && w.body.value == value) return w;
  }
  return std::nullopt;
}

std::vector<Timed<trace::KeyEvent>> SideTrace::KeyEvents(trace::By by) const {
  std::vector<Timed<trace::KeyEvent>> out;
  for (const auto& k : All<trace::KeyEvent>()) {
    if (k.body.by == by) out.push_back(k);
  }
  return out;
}

std::vector<Timed<trace::SetData>> SideTrace::SetData(std::uint32_t definition) const {
  std::vector<Timed<trace::SetData>> out;
  for (const auto& s : All<trace::SetData>()) {
    if (s.body.definition == definition) out.push_back(s);
  }
  return out;
}

namespace {

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::trunc);
  file << text;
}

const char* SideName(int side) { return side == kServer ? "server" : "client"; }

}  // namespace

void SharedFlightTest::SetUp() {
  std::string whyNot;
  net_ = NetnsPair::Create(&whyNot, ThroughRouter());
  if (!net_) GTEST_SKIP() << "end-to-end test skipped: " << whyNot;
  std::string pattern = (fs::temp_directory_path() / "mse2e-run-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  runFolder_ = pattern;
  for (int side : {kServer, kClient}) {
    fs::create_directories(Folder(side));
    WriteConfig(side, "");
  }
}

void SharedFlightTest::WriteConfig(int side, const std::string& extraLines) {
  WriteText(fs::path(Folder(side)) / "SharedConfig.cfg",
            net_->PeerAddress(side) + "\n" + std::to_string(kBasePort) + "\n" + extraLines);
}

void SharedFlightTest::TearDown() {
  helpers_.clear();
  for (auto& sim : sims_) sim.reset();  // kills what still runs
  if (runFolder_.empty()) return;
  if (HasFailure()) {
    std::cout << "run folder kept for inspection: " << runFolder_ << "\n";
  } else {
    std::error_code ignored;
    fs::remove_all(runFolder_, ignored);
  }
}

std::string SharedFlightTest::Documents(int side) const {
  return (fs::path(runFolder_) / SideName(side)).string();
}

std::string SharedFlightTest::Folder(int side) const {
  return (fs::path(Documents(side)) / "Veltrana" / "Quelvo").string();
}

std::vector<std::string> SharedFlightTest::SimulatorCommand(int, const std::string& base,
                                                            const std::string& duration,
                                                            const std::string& run) const {
  const fs::path folder(base);
  return {SIMHOST_PATH,
          "--module",
          MODULE_PATH,
          "--documents",
          folder.string(),
          "--script",
          (folder / ("script" + run + ".txt")).string(),
          "--duration",
          duration,
          "--trace",
          (folder / ("trace" + run + ".jsonl")).string()};
}

void SharedFlightTest::WriteTable(const std::string& text) {
  for (int side : {kServer, kClient}) WriteTable(side, text);
}

void SharedFlightTest::WriteTable(int side, const std::string& text) {
  WriteText(fs::path(Folder(side)) / "LVars.cfg", text);
}

void SharedFlightTest::Start(int side, const std::string& script, double durationSeconds,
                             const std::string& run) {
  const fs::path base = fs::path(runFolder_) / SideName(side);
  WriteText(base / ("script" + run + ".txt"), script);
  std::ostringstream duration;
  duration << durationSeconds;
  std::vector<std::string> argv{"ip", "netns", "exec", net_->Namespace(side)};
  for (auto& arg : SimulatorCommand(side, base.string(), duration.str(), run)) argv.push_back(arg);
  sims_[side] = std::make_unique<ChildProcess>(argv, (base / ("stdout" + run + ".txt")).string(),
                                               (base / ("stderr" + run + ".txt")).string());
}

void SharedFlightTest::Kill(int side) { sims_[side].reset(); }

bool SharedFlightTest::WaitForLogLine(int side, const std::string& line,
                                      std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (CountLines(LogLines(side), line) > 0) return true;
    if (sims_[side] && !sims_[side]->Running()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::optional<int> SharedFlightTest::WaitForExit(int side, std::chrono::milliseconds limit) {
  if (!sims_[side]) return std::nullopt;
  return sims_[side]->WaitFor(limit);
}

void SharedFlightTest::RunBoth(const std::string& serverScript, const std::string& clientScript,
                               double durationSeconds) {
  Start(kServer, serverScript, durationSeconds);
  // Either order works; the server first keeps the scenarios' clocks close.
  ASSERT_TRUE(WaitForLogLine(kServer, "serverLoop start", roleStartLimit_))
      << "the server role did not start; see " << runFolder_;
  Start(kClient, clientScript, durationSeconds);
  const auto limit = std::chrono::milliseconds(static_cast<int>(durationSeconds * 1000) + 20000);
  EXPECT_EQ(WaitForExit(kClient, limit), std::optional<int>(0)) << "client simulator:\n"
                                                                << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, limit), std::optional<int>(0)) << "server simulator:\n"
                                                                << ErrorOutput(kServer);
}

void SharedFlightTest::StartServerThenClient(const std::string& server, const std::string& client,
                                             std::chrono::seconds clientDelay, double duration,
                                             const std::string& run) {
  Start(kServer, server, duration, run);
  ASSERT_TRUE(WaitForLogLine(kServer, "serverLoop start", roleStartLimit_));
  std::this_thread::sleep_for(clientDelay);
  Start(kClient, client, duration, run);
}

void SharedFlightTest::WaitForBoth(double duration) {
  const auto limit = std::chrono::milliseconds(static_cast<int>(duration * 1000) + 20000);
  EXPECT_EQ(WaitForExit(kClient, limit), std::optional<int>(0)) << ErrorOutput(kClient);
  EXPECT_EQ(WaitForExit(kServer, limit), std::optional<int>(0)) << ErrorOutput(kServer);
}

void SharedFlightTest::ExpectOnlyWrites(int side, const std::string& name, double allowed,
                                        std::int64_t afterNs, const std::string& why,
                                        const std::string& run) const {
  for (const auto& w : Trace(side, run).Writes(name, trace::By::kModule)) {
    if (w.monoNs >= afterNs) {
      EXPECT_EQ(w.body.value, allowed) << name << ": " << why;
    }
  }
}

std::string SharedFlightTest::ErrorOutput(int side) const {
  constexpr std::size_t kTail = 4000;
  std::ifstream file(fs::path(runFolder_) / SideName(side) / "stderr.txt");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return text.size() > kTail ? "..." + text.substr(text.size() - kTail) : text;
}

CommandResult SharedFlightTest::InNamespace(int side, const std::vector<std::string>& argv) const {
  std::vector<std::string> command{"ip", "netns", "exec", net_->Namespace(side)};
  command.insert(command.end(), argv.begin(), argv.end());
  return RunCommand(command);
}

void SharedFlightTest::LoadRules(int side, const std::string& ruleset) {
  const fs::path file = fs::path(runFolder_) / (std::string(SideName(side)) + ".nft");
  WriteText(file, ruleset);
  const CommandResult result = InNamespace(side, {"nft", "-f", file.string()});
  ASSERT_EQ(result.exitCode, 0) << "nft: " << result.output;
}

pid_t SharedFlightTest::SimPid(int side) const { return sims_[side] ? sims_[side]->Pid() : -1; }

void SharedFlightTest::StartHelper(int side, const std::string& name,
                                   const std::vector<std::string>& argv) {
  StartHelperIn(net_->Namespace(side), name, argv);
}

void SharedFlightTest::StartRouterHelper(const std::string& name,
                                         const std::vector<std::string>& argv) {
  StartHelperIn(net_->RouterNamespace(), name, argv);
}

CommandResult SharedFlightTest::InRouter(const std::vector<std::string>& argv) const {
  std::vector<std::string> command{"ip", "netns", "exec", net_->RouterNamespace()};
  command.insert(command.end(), argv.begin(), argv.end());
  return RunCommand(command);
}

void SharedFlightTest::LoadRouterRules(const std::string& ruleset) {
  WriteText(RunFile("router.nft"), ruleset);
  const CommandResult result = InRouter({"nft", "-f", RunFile("router.nft")});
  ASSERT_EQ(result.exitCode, 0) << "nft: " << result.output;
}

std::string SharedFlightTest::RunFile(const std::string& name) const {
  return (fs::path(runFolder_) / name).string();
}

void SharedFlightTest::PlaceStranger(int side) {
  const std::string host = std::string(kStranger) + "/32";
  ASSERT_EQ(InNamespace(side, {"ip", "addr", "add", host, "dev", "e2e0"}).exitCode, 0);
  ASSERT_EQ(InNamespace(1 - side, {"ip", "route", "add", host, "dev", "e2e0"}).exitCode, 0);
}

void SharedFlightTest::StartHelperIn(const std::string& space, const std::string& name,
                                     const std::vector<std::string>& argv) {
  std::vector<std::string> command{"ip", "netns", "exec", space};
  command.insert(command.end(), argv.begin(), argv.end());
  const fs::path base = fs::path(runFolder_) / name;
  helpers_.push_back(
      std::make_unique<ChildProcess>(command, base.string() + ".out", base.string() + ".err"));
}

double CpuSeconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // Fields after the command name (which may hold blanks) end with ")".
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1.0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0.0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(field);
    if (i == 15) break;
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

SideTrace SharedFlightTest::Trace(int side, const std::string& run) const {
  int badLines = 0;
  auto records = trace::ReadTraceFile(
      (fs::path(runFolder_) / SideName(side) / ("trace" + run + ".jsonl")).string(), &badLines);
  EXPECT_EQ(badLines, 0) << SideName(side) << " trace has lines that are not records";
  return SideTrace(std::move(records));
}

std::vector<std::string> SharedFlightTest::LogLines(int side) const {
  std::vector<std::string> lines;
  std::ifstream file(fs::path(Folder(side)) / "SharedDetails.log");
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string TableText(const std::vector<Var>& vars) {
  std::string text;
  for (const Var& v : vars) text += v.name + (v.category.empty() ? "" : ";" + v.category) + "\n";
  return text;
}

std::string Set(double t, const std::string& name, double value) {
  std::ostringstream line;
  line << t << " set " << name << " " << value << "\n";
  return line.str();
}

std::int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Changes(const std::string& name, double t0, int count, double interval,
                    double valueStep) {
  std::string lines;
  for (int i = 1; i <= count; ++i) {
    lines += std::to_string(t0 + interval * i) + " set " + name + " " +
             std::to_string(i * valueStep) + "\n";
  }
  return lines;
}

std::vector<double> Sequence(int count, double step) {
  std::vector<double> values;
  for (int i = 1; i <= count; ++i) values.push_back(i * step);
  return values;
}

std::string InTimeOrder(const std::string& lines) {
  std::vector<std::pair<double, std::string>> timed;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) timed.emplace_back(std::stod(line), line);
  std::stable_sort(timed.begin(), timed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string out;
  for (const auto& [t, line] : timed) out += line + "\n";
  return out;
}

std::string StartRoleLines(double atSeconds, int side) {
  std::ostringstream lines;
  lines << atSeconds << " set MP_CONN " << side << "\n" << atSeconds + 0.1 << " set MP_START 1\n";
  return lines.str();
}

std::size_t CountLines(const std::vector<std::string>& log, const std::string& line) {
  return static_cast<std::size_t>(std::count(log.begin(), log.end(), line));
}

std::vector<double> Values(const std::vector<Timed<trace::LvarWrite>>& writes) {
  std::vector<double> values;
  for (const auto& w : writes) values.push_back(w.body.value);
  return values;
}

std::size_t CountBetween(const std::vector<Timed<trace::SetData>>& records, std::int64_t fromNs,
                         std::int64_t toNs) {
  return std::count_if(records.begin(), records.end(),
                       [&](const auto& r) { return r.monoNs >= fromNs && r.monoNs < toNs; });
}

void ExpectShutdownHandshake(const std::vector<std::string>& log, const char* who) {
  SCOPED_TRACE(who);
  const auto at = [&](const std::string& line, std::ptrdiff_t from) -> std::ptrdiff_t {
    const auto it = std::find(log.begin() + from, log.end(), line);
    return it == log.end() ? -1 : it - log.begin();
  };
  const auto initiated = at("Thread close initiated", 0);
  ASSERT_GE(initiated, 0) << "no gauge kill in the log";
  const auto threadStart = at("thread close start, thread2 wait close", initiated);
  ASSERT_GT(threadStart, initiated) << "the send thread did not begin its shutdown";
  // The send thread stores the finished state before it logs, so these two
  // may come in either order, but both after the send thread's first line.
  EXPECT_GT(at("Thread Close Process Completed", threadStart), threadStart);
  EXPECT_GT(at("thread closed", threadStart), threadStart);
}

}  // namespace e2e
