#include "wine_flight.h"

#include <filesystem>

namespace e2e {
namespace fs = std::filesystem;

namespace {

const char* const kPrograms[] = {"simhost.exe", "SimConnect.dll", "udt.dll"};

// The user folder Wine made in the prefix (named after the Linux user).
std::optional<fs::path> WineUserFolder(const fs::path& prefix) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(prefix / "drive_c" / "users", error)) {
    if (entry.path().filename() != "Public") return entry.path();
  }
  return std::nullopt;
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::optional<WineFlightTest::WineSetup> WineFlightTest::Setup(std::string* whyNot) {
  if (std::string(WINE_PROGRAM).empty()) {
    *whyNot = "wine64 is not installed";
    return std::nullopt;
  }
  return WineSetup{{},     WINE_PROGRAM, WINDOWS_SIM_DIR, WINDOWS_MODULE_PATH, WINE_PREFIX_ROOT,
                   "win64"};
}

std::string WineFlightTest::Prefix(int side) const {
  return (fs::path(setup_.prefixRoot) / (side == kServer ? "server" : "client")).string();
}

std::vector<std::string> WineFlightTest::WineCommand(int side,
                                                     const std::vector<std::string>& argv) const {
  std::vector<std::string> command = setup_.launcher;
  command.insert(command.end(), {"env", "WINEPREFIX=" + Prefix(side), "WINEARCH=" + setup_.arch,
                                 "WINEDEBUG=-all"});
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

void WineFlightTest::StopWineServer(int side) const {
  const std::string server = (fs::path(setup_.wine).parent_path() / "wineserver").string();
  RunCommand(WineCommand(side, {server, "-k"}));
  RunCommand(WineCommand(side, {server, "-w"}));
}

void WineFlightTest::SetUp() {
  std::string whyNot;
  const auto setup = Setup(&whyNot);
  if (!setup) GTEST_SKIP() << "Windows end-to-end test skipped: " << whyNot;
  setup_ = *setup;
  for (const char* program : kPrograms) {
    if (!fs::exists(fs::path(setup_.simDir) / program)) {
      GTEST_SKIP() << "Windows end-to-end test skipped: no " << program << " in " << setup_.simDir
                   << " (build the Windows presets with MS_UDT_SOURCE_DIR set)";
    }
  }
  if (!fs::exists(setup_.modulePath)) {
    GTEST_SKIP() << "Windows end-to-end test skipped: no " << setup_.modulePath;
  }
  ASSERT_NO_FATAL_FAILURE(SharedFlightTest::SetUp());
  if (IsSkipped()) return;
  started_ = true;

  // A fresh prefix takes Wine a minute to make: both at once, and only once.
  std::unique_ptr<ChildProcess> boots[2];
  for (int side : {kServer, kClient}) {
    if (fs::exists(fs::path(Prefix(side)) / "system.reg")) continue;
    fs::create_directories(Prefix(side));
    const std::string log = Prefix(side) + ".wineboot.txt";
    boots[side] = std::make_unique<ChildProcess>(
        WineCommand(side, {setup_.wine, "wineboot", "--init"}), log, log);
  }
  for (int side : {kServer, kClient}) {
    if (boots[side]) {
      ASSERT_EQ(boots[side]->WaitFor(std::chrono::minutes(5)), std::optional<int>(0))
          << "wineboot failed; see " << Prefix(side) << ".wineboot.txt";
    }
    StopWineServer(side);
    const auto user = WineUserFolder(Prefix(side));
    ASSERT_TRUE(user) << "no user folder in the Wine prefix " << Prefix(side);
    const fs::path documents = *user / "Documents";
    fs::remove_all(documents);  // a folder, or Wine's link to the Linux documents folder
    fs::create_directory_symlink(Documents(side), documents);
  }
  // Wine starts more slowly than the Linux simulator.
  roleStartLimit_ = std::chrono::seconds(60);
}

void WineFlightTest::TearDown() {
  SharedFlightTest::TearDown();
  if (!started_) return;
  for (int side : {kServer, kClient}) StopWineServer(side);
}

std::vector<std::string> WineFlightTest::SimulatorCommand(int side, const std::string& base,
                                                          const std::string& duration,
                                                          const std::string& run) const {
  const fs::path folder(base);
  std::vector<std::string> simhost{(fs::path(setup_.simDir) / "simhost.exe").string(),
                                   "--module",
                                   WindowsPath(setup_.modulePath),
                                   "--script",
                                   WindowsPath((folder / ("script" + run + ".txt")).string()),
                                   "--duration",
                                   duration,
                                   "--trace",
                                   WindowsPath((folder / ("trace" + run + ".jsonl")).string())};
  simhost.insert(simhost.end(), simhostExtra_[side].begin(), simhostExtra_[side].end());
  simhost.insert(simhost.begin(), setup_.wine);
  return WineCommand(side, simhost);
}

}  // namespace e2e
