// The pilots' 32-bit files run: two 32-bit Windows instances of the stand-in
// load MultiShared.dll and udt.dll exactly as unpacked from the pilots' zip,
// under the i386 Wine that scripts/win32-env.sh keeps in a root of its own
// (qemu's user-mode emulation where the machine cannot run 32-bit x86 code).
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <utility>

#include "wine_flight.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const fs::path kWork = WIN32_WORK_DIR;
const fs::path kPackage = kWork / "package" / WIN32_PACKAGE_NAME;
const fs::path kSim = kWork / "sim";

class Win32Test : public WineCockpitScenario {
 protected:
  std::optional<WineSetup> Setup(std::string* whyNot) override {
    if (!fs::exists(WIN32_PACKAGE)) {
      *whyNot = "no pilots' package " WIN32_PACKAGE " (build the mingw32 preset with UDT's source)";
      return std::nullopt;
    }
    if (!fs::exists(fs::path(WIN32_STANDIN_DIR) / "simhost.exe")) {
      *whyNot = "no 32-bit stand-in in " WIN32_STANDIN_DIR " (build the mingw32-standin preset)";
      return std::nullopt;
    }
    // The programs as a pilot has them: the zip unpacked afresh, udt.dll and
    // the checker beside the simulator's program, the module in Gauges.
    fs::remove_all(kWork / "package");
    fs::remove_all(kSim);
    fs::create_directories(kSim / "Gauges");
    fs::create_directories(kWork / "package");
    const CommandResult unpacked =
        RunCommand({CMAKE_COMMAND_PATH, "-E", "chdir", (kWork / "package").string(),
                    CMAKE_COMMAND_PATH, "-E", "tar", "xf", WIN32_PACKAGE});
    if (unpacked.exitCode != 0) {
      *whyNot = "cannot unpack " WIN32_PACKAGE ": " + unpacked.output;
      return std::nullopt;
    }
    for (const char* file : {"udt.dll", "multishared-check.exe"}) {
      fs::copy_file(kPackage / file, kSim / file);
    }
    for (const char* file : {"simhost.exe", "SimConnect.dll"}) {
      fs::copy_file(fs::path(WIN32_STANDIN_DIR) / file, kSim / file);
    }
    WinePrefixes prefixes =
        EmulatedWin32(WIN32_ENV_SCRIPT, {kWork.string(), fs::temp_directory_path().string()},
                      (kWork / "prefixes").string());
    std::vector<std::string> probe = prefixes.launcher;
    probe.push_back("true");
    const CommandResult ready = RunCommand(probe);
    if (ready.exitCode != 0) {
      *whyNot = "the emulated 32-bit Windows cannot be run (scripts/win32-env.sh install): " +
                ready.output;
      return std::nullopt;
    }
    return WineSetup{std::move(prefixes), kSim.string(), (kPackage / "MultiShared.dll").string()};
  }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(WineCockpitScenario::SetUp());
    // Every 32-bit process starts under emulation, several times slower.
    roleStartLimit_ = std::chrono::seconds(180);
    // Its client starts some 15 s after the server on a busy machine: the
    // server swaps later, so that the client has followed for a while first.
    serverLead_ = 8;
  }

  // MinGW's shared C++ exception runtime beside the simulator's program, and
  // both sides' simulators loading it before the module, as another add-on
  // built with MinGW would; false, with a failure, where it is missing.
  bool LoadForeignRuntimeFirst() {
    for (const char* dll : {WIN32_SHARED_LIBGCC, WIN32_SHARED_WINPTHREAD}) {
      if (!fs::exists(dll)) {
        ADD_FAILURE() << "no " << dll << " (g++-mingw-w64-i686-posix)";
        return false;
      }
      fs::copy_file(dll, kSim / fs::path(dll).filename(), fs::copy_options::overwrite_existing);
    }
    for (int side : {kServer, kClient}) {
      simhostExtra_[side] = {"--load-first", fs::path(WIN32_SHARED_LIBGCC).filename().string()};
    }
    return true;
  }

  // The pilots' checker, run from the simulator's folder in that side's prefix.
  std::vector<std::string> Checker(int side, std::vector<std::string> args) const {
    args.insert(args.begin(), {Wine().prefixes.wine, (kSim / "multishared-check.exe").string()});
    return WineCommand(side, args);
  }
};

TEST_F(Win32Test, TwoPilotsPackagesShareACockpit) {
  FlyAndCheck();
  RecordProperty("follow_metres", std::to_string(followMetres_));
  std::cout << "worst follow distance: " << followMetres_ << " m\n";
  EXPECT_GT(followMetres_, 0.0);
}

// Direct3D 9 leaves the simulator's thread with the x87 precision at single;
// the module eases on that thread, so the follower must still keep up.
TEST_F(Win32Test, SingleX87PrecisionOnTheSimulatorThread) {
  for (int side : {kServer, kClient}) simhostExtra_[side] = {"--x87-single"};
  FlyAndCheck();
  RecordProperty("follow_metres", std::to_string(followMetres_));
  std::cout << "worst follow distance with x87 at single precision: " << followMetres_ << " m\n";
  EXPECT_GT(followMetres_, 0.0);
}

// At single x87 precision every sum is rounded to 24 bits (a latitude to
// some 0.4 m, a heading near 90 to 8e-6 degrees), so an eased value stops
// where its step rounds to nothing: a latitude up to 10 m short, a heading
// some 2e-4 degrees. The heading is written as eased, so it shows this: the
// client turns off the common eastward track, levels its wings and only then
// follows the server, and its heading must reach the server's 90 degrees far
// closer than single precision could.
TEST_F(Win32Test, SingleX87PrecisionEasesToTheLeadersHeading) {
  for (int side : {kServer, kClient}) simhostExtra_[side] = {"--x87-single"};
  WriteTable("QV_Rel\n");
  const std::string server = StartRoleLines(0.1, 0) + std::to_string(55 + serverLead_) + " quit\n";
  const std::string client =
      "0.2 fly 30 0 250 0\n4 fly 0 0 250 0\n" + StartRoleLines(8, 1) + "45 quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 70 + serverLead_));
  const auto leader = Trace(kServer).All<trace::Aircraft>();
  const auto eased = Trace(kClient).SetData(kDefinitionHeading);
  ASSERT_FALSE(leader.empty());
  ASSERT_FALSE(eased.empty());
  const double leaderHeading = leader.back().body.heading;
  const double start = std::fabs(eased.front().body.value - leaderHeading);
  const double end = std::fabs(eased.back().body.value - leaderHeading);
  std::cout << "follower's heading from the leader's: " << start << " degrees at the first eased "
            << "frame, " << end << " after " << eased.size() << " frames\n";
  EXPECT_GT(start, 1.0);
  EXPECT_LT(end, 1e-6);
}

// Another add-on has loaded MinGW's shared runtime into the simulator before
// the module: the exceptions UDT throws and catches inside udt.dll (such as
// each receive pass's read with nothing waiting) must still unwind.
TEST_F(Win32Test, ForeignMinGWRuntimeLoadedFirst) {
  ASSERT_TRUE(LoadForeignRuntimeFirst());
  FlyAndCheck();
  EXPECT_GT(followMetres_, 0.0);
}

// The pilots' checker from the zip: "files" reads the configuration the
// module would, and names the ports to open.
TEST_F(Win32Test, PilotsCheckerFiles) {
  WriteTable("QV_Rel\nQV_Fctl;FCTL\n");
  const CommandResult files = InNamespace(kClient, Checker(kClient, {"files"}));
  EXPECT_EQ(files.exitCode, 0) << files.output;
  EXPECT_NE(files.output.find("No problems found."), std::string::npos) << files.output;
  EXPECT_NE(files.output.find("UDP 5001"), std::string::npos) << files.output;
  EXPECT_NE(files.output.find("UDP 34835"), std::string::npos) << files.output;
}

// The pilots' checker from the zip: "link" on both computers at once finds
// every port open both ways. Under Wine a socket binds to any address, so
// this also proves the checker does not take the peer for this computer.
TEST_F(Win32Test, PilotsCheckerLink) {
  WriteTable("QV_Rel\n");
  std::array<std::unique_ptr<ChildProcess>, 2> checks;
  for (int side : {kServer, kClient}) {
    std::vector<std::string> argv{"ip", "netns", "exec", Net().Namespace(side)};
    const std::vector<std::string> checker = Checker(side, {"link", "--seconds", "40"});
    argv.insert(argv.end(), checker.begin(), checker.end());
    const std::string output = (kWork / ("link-" + std::to_string(side) + ".txt")).string();
    checks[side] = std::make_unique<ChildProcess>(argv, output, output + ".err");
  }
  for (int side : {kServer, kClient}) {
    const std::optional<int> exitCode = checks[side]->WaitFor(std::chrono::seconds(180));
    std::ifstream in(kWork / ("link-" + std::to_string(side) + ".txt"));
    const std::string output{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(exitCode, std::optional<int>(0)) << output;
    std::size_t works = 0;
    for (std::size_t at = output.find(": works"); at != std::string::npos;
         at = output.find(": works", at + 1)) {
      ++works;
    }
    EXPECT_EQ(works, 4u) << output;
  }
}

}  // namespace
}  // namespace e2e
