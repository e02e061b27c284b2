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

std::string WineFlightTest::Prefix(int side) const {
  return (fs::path(WINE_PREFIX_ROOT) / (side == kServer ? "server" : "client")).string();
}

void WineFlightTest::StopWineServer(int side) const {
  RunCommand({"env", "WINEPREFIX=" + Prefix(side), wineServer_, "-k"});
  RunCommand({"env", "WINEPREFIX=" + Prefix(side), wineServer_, "-w"});
}

void WineFlightTest::SetUp() {
  wine_ = WINE_PROGRAM;
  if (wine_.empty()) GTEST_SKIP() << "Windows end-to-end test skipped: wine64 is not installed";
  for (const char* program : kPrograms) {
    if (!fs::exists(fs::path(WINDOWS_SIM_DIR) / program)) {
      GTEST_SKIP() << "Windows end-to-end test skipped: no " << program << " in " << WINDOWS_SIM_DIR
                   << " (build the mingw64-tests preset with MS_UDT_SOURCE_DIR set)";
    }
  }
  if (!fs::exists(WINDOWS_MODULE_PATH)) {
    GTEST_SKIP() << "Windows end-to-end test skipped: no " << WINDOWS_MODULE_PATH;
  }
  ASSERT_NO_FATAL_FAILURE(SharedFlightTest::SetUp());
  if (IsSkipped()) return;
  wineServer_ = (fs::path(wine_).parent_path() / "wineserver").string();

  // A fresh prefix takes Wine a minute to make: both at once, and only once.
  std::unique_ptr<ChildProcess> boots[2];
  for (int side : {kServer, kClient}) {
    if (fs::exists(fs::path(Prefix(side)) / "system.reg")) continue;
    fs::create_directories(Prefix(side));
    const std::string log = Prefix(side) + ".wineboot.txt";
    boots[side] = std::make_unique<ChildProcess>(
        std::vector<std::string>{"env", "WINEPREFIX=" + Prefix(side), "WINEDEBUG=-all", wine_,
                                 "wineboot", "--init"},
        log, log);
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
  if (wineServer_.empty()) return;
  for (int side : {kServer, kClient}) StopWineServer(side);
}

std::vector<std::string> WineFlightTest::SimulatorCommand(int side, const std::string& base,
                                                          const std::string& duration,
                                                          const std::string& run) const {
  const fs::path folder(base);
  return {"env",
          "WINEPREFIX=" + Prefix(side),
          "WINEDEBUG=-all",
          wine_,
          (fs::path(WINDOWS_SIM_DIR) / "simhost.exe").string(),
          "--module",
          WindowsPath(WINDOWS_MODULE_PATH),
          "--script",
          WindowsPath((folder / ("script" + run + ".txt")).string()),
          "--duration",
          duration,
          "--trace",
          WindowsPath((folder / ("trace" + run + ".jsonl")).string())};
}

}  // namespace e2e
