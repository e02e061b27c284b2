// The module fixture drives the module through the stand-in from start to
// stop, and every test begins with the module as it is right after load.
#include "support/module_fixture.h"

#include <filesystem>

namespace {

class ModuleFixtureTest : public ModuleFixture {};

TEST_F(ModuleFixtureTest, DrivesTheModuleFromStartToStop) {
  StartModule();
  EXPECT_TRUE(standin::SessionOpen());
  EXPECT_EQ(lastSimConnectResult, 0);
  EXPECT_EQ(standin::HookedHandlerCount(), 1u);  // the key-event relay
  CreateGauge();
  Frame();
  KillGauge();
  StopModule();
  EXPECT_FALSE(standin::SessionOpen());
  EXPECT_EQ(standin::HookedHandlerCount(), 0u);
  EXPECT_EQ(standin::PanelCalls().releasePanelResources, 1);
  const std::vector<std::string> expected = {"Thread close initiated",
                                             "Thread Close Process Completed"};
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(ModuleFixtureTest, EachTestHasItsOwnDocumentsFolderAndFreshState) {
  EXPECT_TRUE(std::filesystem::is_directory(QuelvoFolder()));
  EXPECT_EQ(QuelvoFolder().parent_path().parent_path(), Documents());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(standin::PanelCalls().releasePanelResources, 0);
  EXPECT_EQ(ImportTable.panels, standin::PanelTable());
  EXPECT_EQ(receiveThreadHandle, platform::kNoThread);

  WriteFile("SharedConfig.cfg", "127.0.0.1\n27000\n");
  std::ifstream in(QuelvoFolder() / "SharedConfig.cfg");
  std::string address;
  std::getline(in, address);
  EXPECT_EQ(address, "127.0.0.1");
}

TEST_F(ModuleFixtureTest, SetUpPutsTheModuleGlobalsBackToTheirLoadTimeValues) {
  StartModule();
  lvarTable.push_back(std::make_unique<LVarEntry>());
  lvarCount = 1;
  roleStarted = true;
  shutdownState = 2;  // the handshake at teardown must not wait
  isFollower = 1;
  connectionStatus = 2;
  receiveThreadHandle = 42;
  peerAddress = "10.0.0.1";
  basePort = "27000";
  standin::WriteNamed("MP_CONN", 1.0);
  const auto oldFolder = Documents();
  TearDown();
  SetUp();
  EXPECT_FALSE(std::filesystem::exists(oldFolder));
  EXPECT_NE(Documents(), oldFolder);
  EXPECT_TRUE(lvarTable.empty());
  EXPECT_EQ(lvarCount, 0u);
  EXPECT_FALSE(roleStarted);
  EXPECT_EQ(shutdownState, 0);
  EXPECT_EQ(isFollower, 0);
  EXPECT_EQ(connectionStatus, 0);
  EXPECT_EQ(receiveThreadHandle, platform::kNoThread);
  EXPECT_TRUE(peerAddress.empty());
  EXPECT_TRUE(basePort.empty());
  EXPECT_EQ(simConnect, nullptr);
  EXPECT_FALSE(standin::SessionOpen());
  EXPECT_FALSE(standin::ReadNamed("MP_CONN").has_value());
}

}  // namespace
