// The diagnostic log: one whole line per call, never an error for the caller,
// and a cap on the lines that input may repeat without bound.
#include "common/log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/log_limit.h"

namespace fs = std::filesystem;

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    documents_ = fs::temp_directory_path() /
                 ("ms-log-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(documents_);
    fs::create_directories(documents_ / "Veltrana" / "Quelvo");
    ::setenv("XDG_DOCUMENTS_DIR", documents_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(documents_); }

  fs::path LogPath() const { return documents_ / "Veltrana" / "Quelvo" / "SharedDetails.log"; }
  std::string LogText() const {
    std::ifstream in(LogPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path documents_;
};

TEST_F(LogTest, AppendsEachMessageAsOneLineAfterWhatIsThere) {
  {
    std::ofstream old(LogPath(), std::ios::binary);
    old << "from an earlier run\n";
  }
  LogMessage("Launch");
  LogMessage("");
  LogMessage("serverLoop Binded Port: 5000 ");
  EXPECT_EQ(LogText(), "from an earlier run\nLaunch\n\nserverLoop Binded Port: 5000 \n");
}

TEST_F(LogTest, MissingFolderDropsTheLineAndCreatesNothing) {
  fs::remove_all(documents_ / "Veltrana");
  LogMessage("lost");
  EXPECT_FALSE(fs::exists(documents_ / "Veltrana"));
}

TEST_F(LogTest, UnknownDocumentsFolderOrOverlongPathDropsTheLine) {
  const std::string longFolder = documents_.string() + "/" + std::string(250, 'x');
  ::setenv("XDG_DOCUMENTS_DIR", longFolder.c_str(), 1);
  EXPECT_FALSE(ModuleFilePath("SharedDetails.log").has_value());
  LogMessage("too long");

  ::unsetenv("XDG_DOCUMENTS_DIR");
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::unsetenv("HOME");
  EXPECT_FALSE(ModuleFilePath("SharedDetails.log").has_value());
  LogMessage("nowhere");
  if (home) ::setenv("HOME", savedHome.c_str(), 1);
  EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(LogTest, PathIsDocumentsThenVeltranaQuelvo) {
  const auto path = ModuleFilePath("LVars.cfg");
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, (documents_ / "Veltrana" / "Quelvo" / "LVars.cfg").string());
}

TEST_F(LogTest, TwoThreadsLoggingAtOnceKeepEveryLineWhole) {
  constexpr int kLines = 1000;
  auto writer = [](char tag) {
    for (int i = 0; i < kLines; ++i) {
      LogMessage(std::string(1, tag) + "-" + std::to_string(i) + "-" + std::string(60, tag));
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();

  std::istringstream in(LogText());
  std::set<std::string> seen;
  std::string line;
  while (std::getline(in, line)) {
    ASSERT_GE(line.size(), 63u) << "garbled line: " << line;
    const char tag = line[0];
    ASSERT_TRUE(tag == 'a' || tag == 'b') << line;
    ASSERT_EQ(line.substr(line.size() - 60), std::string(60, tag)) << line;
    seen.insert(line);
  }
  EXPECT_EQ(seen.size(), 2u * kLines);
}

// Lines that input may repeat without bound: a flood grows the log by a few
// MB an hour, a burst goes through whole, and every line left out is counted
// in a summary that keeps its place among the lines.
class LogRateCapTest : public LogTest {
 protected:
  std::vector<std::string> Lines() const {
    std::ifstream in(LogPath());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The sum of N over the summary lines "... and N more values applied".
  static long LeftOut(const std::vector<std::string>& lines) {
    static const std::regex kSummary(R"(\.\.\. and ([0-9]+) more values applied)");
    long sum = 0;
    for (const auto& line : lines) {
      std::smatch match;
      if (std::regex_match(line, match, kSummary)) sum += std::stol(match[1]);
    }
    return sum;
  }
};

TEST_F(LogRateCapTest, AnHourOfFloodAddsAFewMegabytesAndCountsEveryLineLeftOut) {
  constexpr long kPerSecond = 2000;
  constexpr long kSeconds = 3600;
  const std::string line = "LvarsSet: QV_A_RATHER_LONG_VARIABLE_NAME_OF_THE_FCU Value: 123457";
  {
    LogRateCap cap("more values applied");
    for (long i = 0; i < kPerSecond * kSeconds; ++i) cap.Log(line, i * 1000 / kPerSecond);
  }
  const auto lines = Lines();
  long logged = 0;
  for (const auto& l : lines) logged += l == line ? 1 : 0;
  EXPECT_EQ(logged + LeftOut(lines), kPerSecond * kSeconds);
  EXPECT_LE(logged, LogRateCap::kBurst + LogRateCap::kPerSecond * kSeconds);
  // At most one summary a second, the last one at the end.
  EXPECT_LE(static_cast<long>(lines.size()) - logged, kSeconds + 1);
  const auto bytes = static_cast<double>(fs::file_size(LogPath()));
  std::cout << "an hour of " << kPerSecond << " lines a second: " << lines.size() << " lines, "
            << bytes / 1e6 << " MB\n";
  EXPECT_LT(bytes, 2e6);
}

TEST_F(LogRateCapTest, TheSummaryComesASecondAfterTheFirstLineLeftOutAndBeforeLaterLines) {
  LogRateCap cap("more values applied");
  for (int i = 0; i < LogRateCap::kBurst + 5; ++i) cap.Log("v" + std::to_string(i), 10000);
  // Refilled at kPerSecond lines a second: 250 ms later, one line more.
  cap.Log("late", 10250);
  cap.Log("left out", 10250);
  cap.Summarise(10999);
  EXPECT_EQ(Lines().size(), static_cast<std::size_t>(LogRateCap::kBurst + 1));
  EXPECT_EQ(Lines().back(), "late");
  cap.Summarise(11000);
  EXPECT_EQ(Lines().back(), "... and 6 more values applied");
  cap.Summarise(20000);  // nothing left out since: no second summary
  cap.Log("after", 20000);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(LogRateCap::kBurst + 3));
  EXPECT_EQ(lines[lines.size() - 2], "... and 6 more values applied");
  EXPECT_EQ(lines.back(), "after");
}

}  // namespace
