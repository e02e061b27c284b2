// The diagnostic log: one whole line per call, never an error for the caller.
#include "session/log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace
