// multishared-check files and tables: each mistake a pilot can make in the
// folder is named with its file and line, the ports to open follow, two
// tables are compared, and the exit code tells clean (0) from not (1) and
// from bad usage (2).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct CheckRun {
  int exitCode = -1;
  std::string output;
};

CheckRun Check(const std::string& arguments) {
  CheckRun run;
  const std::string command = std::string(MULTISHARED_CHECK_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> chunk{};
  std::size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    run.output.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

class CheckFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("ms-check-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  CheckRun CheckFolder() { return Check("files " + folder_.string()); }
  static bool Has(const CheckRun& run, const std::string& line) {
    return run.output.find(line + "\n") != std::string::npos;
  }

  fs::path folder_;
};

TEST_F(CheckFilesTest, ACleanFolderPassesAndNamesThePortsToOpen) {
  // Notepad's byte-order mark and CR LF line ends are fine.
  Write("SharedConfig.cfg",
        "\xEF\xBB\xBF"
        "192.168.1.20\r\n5000\r\n");
  Write("LVars.cfg",
        "\xEF\xBB\xBFQV_A;FCTL\r\nQV_Hdg;FCU\r\nQV_HdgM;FCUh\r\n\r\nQV_B;none\r\nQV_C\r\n");
  const CheckRun run = CheckFolder();
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Has(run, "LVars.cfg: 5 shared variables")) << run.output;
  EXPECT_TRUE(Has(run, "  UDP 5001  (base port + 1: aircraft state and most cockpit changes)"));
  EXPECT_TRUE(Has(run,
                  "  UDP 34835  (base port 5000 with its two bytes swapped: the reliable "
                  "channel)"));
  EXPECT_TRUE(Has(run, "No problems found."));
}

TEST_F(CheckFilesTest, EveryMistakeIsNamedWithItsFileAndLine) {
  Write("SharedConfig.cfg", "copilot pc\n65535\n\nnoupnp\n");
  Write("LVars.cfg",
        "QV_Alt;FCU\n"
        "QV_AltM; FCUh\n"  // blank-padded: category none, and the pair breaks
        "QV_Spd;FCUh\n"    // not after an FCU entry
        ";BTN\n"
        "QV_Alt;mbtn\n"
        "QV_X;FLAPS\n");
  const CheckRun run = CheckFolder();
  EXPECT_EQ(run.exitCode, 1);
  for (const std::string line : {
           "PROBLEM: SharedConfig.cfg line 1: \"copilot pc\" is neither an IPv4 address such as "
           "192.168.1.20 nor a host name such as copilot.example.net (no blanks); nothing is sent "
           "to the other computer until it is mended",
           "PROBLEM: SharedConfig.cfg line 4: \"noupnp\" is ignored; the options, one a line after "
           "line 2 in any order, are any (records from every address), no upnp (do not ask the "
           "router to open the ports), close follow (the following aircraft flies where the "
           "other is now) and plain protocol (no hello: the protocol only)",
           "PROBLEM: SharedConfig.cfg line 2: \"65535\" is not a port number from 1 to 65534 "
           "(digits only); nothing is sent to the other computer until it is mended",
           "PROBLEM: LVars.cfg line 2: category \" FCUh\" of \"QV_AltM\" is not one of FCTL, MBTN, "
           "FCU, FCUh, DISP, TERRWX, BTN, none; write \"FCUh\" (case counts, no blanks); the "
           "variable is shared as category none",
           "PROBLEM: LVars.cfg line 3: FCUh entry \"QV_Spd\" must come directly after an FCU "
           "entry; it is never sent",
           "PROBLEM: LVars.cfg line 4: the variable name is empty",
           "PROBLEM: LVars.cfg line 5: \"QV_Alt\" is listed already on line 1",
           "PROBLEM: LVars.cfg line 5: category \"mbtn\" of \"QV_Alt\" is not one of FCTL, MBTN, "
           "FCU, FCUh, DISP, TERRWX, BTN, none; write \"MBTN\" (case counts, no blanks); the "
           "variable is shared as category none",
           "PROBLEM: LVars.cfg line 6: category \"FLAPS\" of \"QV_X\" is not one of FCTL, MBTN, "
           "FCU, FCUh, DISP, TERRWX, BTN, none; the variable is shared as category none",
           "9 problem(s) found.",
       }) {
    EXPECT_TRUE(Has(run, line)) << line << "\n--- output:\n" << run.output;
  }
  // A refused port names no ports to open.
  EXPECT_EQ(run.output.find("Open these UDP ports"), std::string::npos) << run.output;
}

TEST_F(CheckFilesTest, MissingFolderFilesAndLinesAreProblems) {
  CheckRun run = Check("files " + (folder_ / "Quelvo").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(
      run.output.find("PROBLEM: The folder " + (folder_ / "Quelvo").string() + " does not exist"),
      std::string::npos)
      << run.output;

  run = CheckFolder();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("PROBLEM: SharedConfig.cfg is missing"), std::string::npos);
  EXPECT_NE(run.output.find("PROBLEM: LVars.cfg is missing"), std::string::npos);

  Write("SharedConfig.cfg", "10.0.0.2\n");
  Write("LVars.cfg", "\n\n");
  run = CheckFolder();
  EXPECT_TRUE(Has(run,
                  "PROBLEM: SharedConfig.cfg line 2: missing; it must hold the base port, a "
                  "number from 1 to 65534"))
      << run.output;
  EXPECT_TRUE(Has(run, "PROBLEM: LVars.cfg lists no variable: the session never starts"));
}

TEST_F(CheckFilesTest, TablesNamesTheFirstDifferenceAndWhatIsSharedByName) {
  Write("a.cfg", "QV_A;FCTL\r\n\r\nQV_B\r\nQV_C;FCU\r\n");
  Write("b.cfg", "\xEF\xBB\xBFQV_A;FCTL\nQV_X;MBTN\nQV_B\nQV_C;FCU\n");
  Write("c.cfg", "QV_A;FCTL\nQV_B;none\nQV_C;FCU;ignored\n");
  const std::string a = (folder_ / "a.cfg").string();
  const std::string b = (folder_ / "b.cfg").string();
  CheckRun run = Check("tables " + a + " " + b);
  EXPECT_EQ(run.exitCode, 1);
  for (const std::string& line : std::vector<std::string>{
           a + ": 3 variables, fingerprint 8AFD56521E55C841",
           "LVars.cfg differs from the peer's from entry 2: here \"QV_B\", peer \"QV_X;MBTN\"",
           "LVars.cfg and the peer's share 3 variables by name (3 here, 4 at the peer)",
           "Only in the peer's LVars.cfg, not shared (1): \"QV_X\"",
       }) {
    EXPECT_TRUE(Has(run, line)) << line << "\n--- output:\n" << run.output;
  }
  EXPECT_EQ(run.output.find("Only in this"), std::string::npos) << run.output;

  // The same entries written otherwise are the same table.
  run = Check("tables " + a + " " + (folder_ / "c.cfg").string());
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Has(run, "LVars.cfg is the same as the peer's: 3 variables")) << run.output;
  EXPECT_EQ(Check("tables " + a + " " + (folder_ / "missing.cfg").string()).exitCode, 2);
}

TEST(CheckUsage, WrongUsageExitsWithTwo) {
  EXPECT_EQ(Check("").exitCode, 2);
  EXPECT_EQ(Check("frobnicate").exitCode, 2);
  EXPECT_EQ(Check("files a b").exitCode, 2);
  EXPECT_EQ(Check("link --seconds 0").exitCode, 2);
  EXPECT_EQ(Check("tables only-one.cfg").exitCode, 2);
  EXPECT_EQ(Check("--help").exitCode, 0);
}

}  // namespace
