// simhost as a program: its exit codes, a whole run of the module from load
// to unload, and the trace it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "trace_reader.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string stderrText;
};

class SimhostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ms-simhost-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "documents" / "Veltrana" / "Quelvo");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path WriteScript(const std::string& text) const {
    const fs::path path = dir_ / "script.txt";
    std::ofstream(path) << text;
    return path;
  }

  // Runs simhost with the arguments, in `folder` when one is given, and waits for it.
  RunResult Run(std::vector<std::string> args, const fs::path& folder = {}) const {
    args.insert(args.begin(), SIMHOST_PATH);
    const fs::path errPath = dir_ / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, 2);
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, 1);
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errPath);
    std::stringstream text;
    text << in.rdbuf();
    result.stderrText = text.str();
    return result;
  }

  std::vector<std::string> BaseArgs() const {
    return {"--module", MODULE_PATH, "--documents", (dir_ / "documents").string()};
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ / "documents" / "Veltrana" / "Quelvo" / "SharedDetails.log");
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

  fs::path dir_;
};

TEST_F(SimhostTest, AScriptErrorExitsTwoNamingTheLineBeforeAnythingRuns) {
  auto args = BaseArgs();
  args.insert(args.end(), {"--script", WriteScript("0 simstart\n# fine\n0.2 fly 10 0\n").string()});
  const RunResult result = Run(args);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.stderrText.find("script:3: "), std::string::npos) << result.stderrText;
  EXPECT_TRUE(LogLines().empty()) << "the module must not have been run";
}

TEST_F(SimhostTest, UsageErrorsExitTwo) {
  EXPECT_EQ(Run({"--documents", dir_.string()}).exitCode, 2);  // no --module
  auto args = BaseArgs();
  args.insert(args.end(), {"--rate", "0"});
  EXPECT_EQ(Run(args).exitCode, 2);
  args = BaseArgs();
  args.insert(args.end(), {"--script", (dir_ / "missing.txt").string()});
  EXPECT_EQ(Run(args).exitCode, 2);
  EXPECT_EQ(Run({"--help"}).exitCode, 0);
}

TEST_F(SimhostTest, AModuleThatCannotBeLoadedExitsOne) {
  RunResult result = Run({"--module", (dir_ / "no-such-module.so").string(), "--documents",
                          dir_.string(), "--duration", "0"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.stderrText.find("no-such-module.so"), std::string::npos);

  // A library without the module's records.
  const fs::path notModule = dir_ / "libnot-a-module.so";
  fs::copy_file(SIMHOST_PATH, notModule);
  result = Run({"--module", notModule.string(), "--documents", dir_.string()});
  EXPECT_EQ(result.exitCode, 1);
}

// simhost reads the records at the simulator's offsets: the sound test module
// runs, and each one-fault copy of it is refused before anything of it runs.
TEST_F(SimhostTest, AModuleWhoseRecordsAreNotAtTheSimulatorsLayoutIsRefused) {
  const auto run = [&](const char* module) {
    return Run(
        {"--module", module, "--documents", (dir_ / "documents").string(), "--duration", "0.1"});
  };
  const RunResult sound = run(TEST_MODULE_SOUND);
  EXPECT_EQ(sound.exitCode, 0) << sound.stderrText;
  EXPECT_EQ(sound.stderrText, "");

  // Offsets as this build's pointer width places them (32-bit: 24, 48, 52).
  const bool wide = sizeof(void*) == 8;
  const struct {
    const char* module;
    std::string refusal;
  } faulty[] = {
      {TEST_MODULE_GAUGE_LIST_POINTER, std::string("Linkage gauge list (offset ") +
                                           (wide ? "40" : "24") +
                                           ") holds a pointer to a separate list"},
      {TEST_MODULE_HEADER_VERSION, "gauge header version (offset 0) is 900, not 1000"},
      {TEST_MODULE_LATE_IMAGE_FLAGS,
       std::string("element image flags (offset ") + (wide ? "64" : "48") +
           ") are 0x0, not 0x24 (0x24 lies at offset " + (wide ? "68" : "52") + ")"},
  };
  for (const auto& fault : faulty) {
    SCOPED_TRACE(fault.module);
    const RunResult result = run(fault.module);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.stderrText.find(std::string(fault.module) + " is refused: " + fault.refusal),
              std::string::npos)
        << result.stderrText;
  }
}

TEST_F(SimhostTest, AModuleNamedRelativeToTheCurrentFolderLoads) {
  const fs::path module = fs::absolute(MODULE_PATH);
  const fs::path folder = module.parent_path();
  const std::string documents = (dir_ / "documents").string();
  // A bare file name, which dlopen alone would look for on the library path.
  RunResult result =
      Run({"--module", module.filename().string(), "--documents", documents, "--duration", "0"},
          folder);
  EXPECT_EQ(result.exitCode, 0) << result.stderrText;
  const fs::path belowParent = folder.filename() / module.filename();
  result = Run({"--module", belowParent.string(), "--documents", documents, "--duration", "0"},
               folder.parent_path());
  EXPECT_EQ(result.exitCode, 0) << result.stderrText;
  EXPECT_FALSE(LogLines().empty()) << "the module must have run";
}

TEST_F(SimhostTest, AQuitRunsTheModuleFromStartToStop) {
  auto args = BaseArgs();
  args.insert(args.end(), {"--script", WriteScript("0.5 quit\n").string()});
  const RunResult result = Run(args);
  EXPECT_EQ(result.exitCode, 0) << result.stderrText;
  const auto lines = LogLines();
  const std::vector<std::string> shutdown = {"Thread close initiated",
                                             "Thread Close Process Completed"};
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()), shutdown);
}

TEST_F(SimhostTest, WithoutQuitTheRunEndsAfterTheDurationAndReloadKillsTheGaugeOnce) {
  auto args = BaseArgs();
  args.insert(args.end(), {"--duration", "0.4", "--script", WriteScript("0.1 reload\n").string()});
  const RunResult result = Run(args);
  EXPECT_EQ(result.exitCode, 0) << result.stderrText;
  const auto lines = LogLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Thread close initiated"), 2);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Thread Close Process Completed"), 2);
}

TEST_F(SimhostTest, TheTraceIsJsonLinesWithTheDocumentedFields) {
  const fs::path tracePath = dir_ / "trace.jsonl";
  auto args = BaseArgs();
  args.insert(args.end(), {"--rate", "50", "--trace", tracePath.string(), "--script",
                           WriteScript("0 fly 15 0 250 600\n"
                                       "0.1 set MP_SYNCWX 1\n"
                                       "0.1 key 0x10002 7\n"
                                       "0.2 gear 1\n"
                                       "0.6 quit\n")
                               .string()});
  ASSERT_EQ(Run(args).exitCode, 0);

  std::vector<nlohmann::json> records;
  ASSERT_NO_THROW(records = ReadTrace(tracePath));
  ASSERT_FALSE(records.empty());
  double lastT = 0.0;
  for (const auto& record : records) {
    ASSERT_TRUE(record.contains("t") && record.contains("mono_ns") && record.contains("type"))
        << record.dump();
    EXPECT_GE(record["t"].get<double>(), lastT);
    lastT = record["t"].get<double>();
  }

  const auto writes = OfType(records, "lvar_write");
  const auto scriptWrite = std::find_if(writes.begin(), writes.end(), [](const auto& r) {
    return r["name"] == "MP_SYNCWX" && r["by"] == "script";
  });
  ASSERT_NE(scriptWrite, writes.end());
  EXPECT_EQ((*scriptWrite)["value"], 1.0);

  const auto keys = OfType(records, "key_event");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0]["id"], 0x10002);
  EXPECT_EQ(keys[0]["data"], 7);
  EXPECT_EQ(keys[0]["by"], "script");

  const auto frames = OfType(records, "aircraft");
  // About 30 frames in 0.6 s at 50 per second; a loaded machine may drop some.
  ASSERT_GE(frames.size(), 10u);
  ASSERT_LE(frames.size(), 40u);
  for (const char* field : {"lat", "lon", "alt", "heading", "pitch", "bank", "vs", "ias", "gear"}) {
    EXPECT_TRUE(frames.back()[field].is_number()) << field;
  }
  EXPECT_GT(frames.back()["bank"].get<double>(), 0.0);
  EXPECT_GT(frames.back()["alt"].get<double>(), 3000.0);
  EXPECT_GT(frames.back()["heading"].get<double>(), 90.0);  // turning right
  EXPECT_EQ(frames.back()["gear"], 1.0);
}

// A failed open comes from the command line, before any script command can
// run, and reaches the module's log with its result.
TEST_F(SimhostTest, FailOpenFailsTheModulesSessionWithTheGivenResult) {
  auto args = BaseArgs();
  args.insert(args.end(), {"--fail-open", "0x80004005", "--duration", "0.2"});
  ASSERT_EQ(Run(args).exitCode, 0);
  const auto lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(),
            "SimConnect open failed with result 0x80004005: the aircraft is not read or moved "
            "while this simulator runs");
  args = BaseArgs();
  args.insert(args.end(), {"--fail-open", "0"});
  EXPECT_EQ(Run(args).exitCode, 2);  // a failure needs a result that says so
}

}  // namespace
