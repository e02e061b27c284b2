#include "wine_flight.h"

#include <filesystem>

namespace e2e {
namespace fs = std::filesystem;

namespace {

const char* const kPrograms[] = {"simhost.exe", "SimConnect.dll", "udt.dll"};

}  // namespace

std::optional<WineFlightTest::WineSetup> WineFlightTest::Setup(std::string* whyNot) {
  if (std::string(WINE_PROGRAM).empty()) {
    *whyNot = "wine64 is not installed";
    return std::nullopt;
  }
  return WineSetup{
      {{}, WINE_PROGRAM, WINE_PREFIX_ROOT, "win64"}, WINDOWS_SIM_DIR, WINDOWS_MODULE_PATH};
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

  const std::string documents[] = {Documents(kServer), Documents(kClient)};
  const std::string failure = setup_.prefixes.Prepare(documents);
  ASSERT_TRUE(failure.empty()) << failure;
  // Wine starts more slowly than the Linux simulator.
  roleStartLimit_ = std::chrono::seconds(60);
}

void WineFlightTest::TearDown() {
  SharedFlightTest::TearDown();
  if (!started_) return;
  for (int side : {kServer, kClient}) setup_.prefixes.StopServer(side);
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
  simhost.insert(simhost.begin(), setup_.prefixes.wine);
  return WineCommand(side, simhost);
}

}  // namespace e2e
