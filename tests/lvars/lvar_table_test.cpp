// Loading LVars.cfg on the gauge's updates, and the role start it allows.
#include "lvars/lvar_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "lvars_fixture.h"

namespace {

class LVarTableLoad : public LVarsFixture {
 protected:
  // StartRole writes the configuration file's path to the log at every call,
  // whether or not it then starts a role.
  int StartRoleCalls() const { return LogCount((QuelvoFolder() / "SharedConfig.cfg").string()); }
};

TEST_F(LVarTableLoad, AMissingFileIsTriedAgainOnEveryUpdate) {
  PreInitialize();
  Update();
  Update();
  EXPECT_EQ(simThread.lvarCount.load(), 0u);
  EXPECT_TRUE(simThread.lvarTable.empty());

  WriteFile("LVars.cfg", "\n\r\n");  // blank lines only: still nothing
  Update();
  EXPECT_EQ(simThread.lvarCount.load(), 0u);

  WriteFile("LVars.cfg", "A;FCTL\nB;MBTN\n");
  Update();
  ASSERT_EQ(simThread.lvarCount.load(), 2u);
  ASSERT_EQ(simThread.lvarTable.size(), 2u);
  EXPECT_EQ(Entry(0).name, "A");
  EXPECT_EQ(Entry(1).category, LVarCategory::kMbtn);
}

TEST_F(LVarTableLoad, AnUnknownDocumentsFolderCountsAsAMissingFile) {
  WriteFile("LVars.cfg", "A\n");
  ::unsetenv("XDG_DOCUMENTS_DIR");
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::unsetenv("HOME");
  PreInitialize();
  Update();
  EXPECT_EQ(simThread.lvarCount.load(), 0u);
  if (home) ::setenv("HOME", savedHome.c_str(), 1);
  ::setenv("XDG_DOCUMENTS_DIR", Documents().c_str(), 1);
  Update();
  EXPECT_EQ(simThread.lvarCount.load(), 1u);
}

TEST_F(LVarTableLoad, EditsTakeEffectAtTheNextAircraftLoadOnly) {
  WriteFile("LVars.cfg", "A;FCTL\n");
  PreInitialize();
  Update();
  ASSERT_EQ(simThread.lvarCount.load(), 1u);
  const LVarEntry* first = simThread.lvarTable[0].get();

  WriteFile("LVars.cfg", "X;MBTN\nY\nZ\n");
  Update();
  Update();
  EXPECT_EQ(simThread.lvarCount.load(), 1u);
  EXPECT_EQ(simThread.lvarTable[0].get(), first);
  EXPECT_EQ(Entry(0).name, "A");

  PreInitialize();
  EXPECT_EQ(simThread.lvarCount.load(), 0u);
  Update();
  ASSERT_EQ(simThread.lvarCount.load(), 3u);
  ASSERT_EQ(simThread.lvarTable.size(), 3u);
  EXPECT_EQ(Entry(0).name, "X");
  EXPECT_EQ(Entry(0).category, LVarCategory::kMbtn);
}

TEST_F(LVarTableLoad, TheRoleNeverStartsWhileTheTableIsEmpty) {
  WriteFile("SharedConfig.cfg", "127.0.0.1\n1\n");
  standin::WriteNamed("MP_START", 1.0);
  standin::WriteNamed("MP_TGL", 1.0);
  PreInitialize();
  for (int i = 0; i < 5; ++i) Update();

  EXPECT_EQ(Vars().value[slot::kMpStart].load(), 1.0);
  EXPECT_EQ(StartRoleCalls(), 0);
  EXPECT_FALSE(roleSetup.roleStarted.load());
  EXPECT_EQ(Named("MP_TGL"), 1.0);
  EXPECT_EQ(LogCount("Launch"), 0);
}

// Starts the real server role, whose peer is a documentation address that
// nothing answers, then stops it.
TEST_F(LVarTableLoad, TheRoleStartsOnceWhenTheTableIsLoadedAndMpStartIsSet) {
  const int port = 20000 + ::getpid() % 20000;
  WriteFile("SharedConfig.cfg", "192.0.2.1\n" + std::to_string(port) + "\n");
  WriteFile("LVars.cfg", "A;FCTL\nB;MBTN\n");
  standin::WriteNamed("MP_CONN", 0.0);
  standin::WriteNamed("MP_START", 0.0);
  PreInitialize();
  Update();
  Update();
  ASSERT_EQ(simThread.lvarCount.load(), 2u);
  EXPECT_EQ(StartRoleCalls(), 0);

  standin::WriteNamed("MP_START", 1.0);
  Update();
  Update();
  Update();

  EXPECT_EQ(StartRoleCalls(), 1);
  EXPECT_TRUE(roleSetup.roleStarted.load());
  EXPECT_EQ(LogCount("Launch"), 1);
  // The table is counted before the role starts.
  const auto lines = LogLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("No of LVars in Table") && line.ends_with("2");
  }));

  KillGauge();
  EXPECT_EQ(roleState.shutdownState.load(), shutdown_state::kFinished);
}

}  // namespace
