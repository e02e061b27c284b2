// The module fixture drives the module through the stand-in from start to
// stop, and every test begins with the module as it is right after load.
#include "support/module_fixture.h"

#include <filesystem>

namespace {

class ModuleFixtureTest : public ModuleFixture {};

TEST_F(ModuleFixtureTest, DrivesTheModuleFromStartToStop) {
  StartModule();
  EXPECT_TRUE(standin::ConnectionOpen());
  EXPECT_EQ(simThread.lastSimConnectResult, 0);
  EXPECT_EQ(standin::HookedHandlerCount(), 1u);  // the key-event relay
  CreateGauge();
  Frame();
  KillGauge();
  StopModule();
  EXPECT_FALSE(standin::ConnectionOpen());
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
  EXPECT_EQ(roleSetup.receiveThreadHandle, platform::kNoThread);

  WriteFile("SharedConfig.cfg", "127.0.0.1\n27000\n");
  std::ifstream in(QuelvoFolder() / "SharedConfig.cfg");
  std::string address;
  std::getline(in, address);
  EXPECT_EQ(address, "127.0.0.1");
}

TEST_F(ModuleFixtureTest, SetUpPutsTheModuleGlobalsBackToTheirLoadTimeValues) {
  StartModule();
  simThread.lvarTable.push_back(std::make_unique<LVarEntry>());
  simThread.lvarCount = 1;
  roleSetup.roleStarted = true;
  roleState.shutdownState = 2;  // the handshake at teardown must not wait
  roleState.isFollower = 1;
  linkState.connectionStatus = 2;
  roleSetup.receiveThreadHandle = 42;
  roleSetup.peerAddress = "10.0.0.1";
  roleSetup.basePort = "27000";
  standin::WriteNamed("MP_CONN", 1.0);
  const auto oldFolder = Documents();
  TearDown();
  SetUp();
  EXPECT_FALSE(std::filesystem::exists(oldFolder));
  EXPECT_NE(Documents(), oldFolder);
  EXPECT_TRUE(simThread.lvarTable.empty());
  EXPECT_EQ(simThread.lvarCount, 0u);
  EXPECT_FALSE(roleSetup.roleStarted);
  EXPECT_EQ(roleState.shutdownState, 0);
  EXPECT_EQ(roleState.isFollower, 0);
  EXPECT_EQ(linkState.connectionStatus, 0);
  EXPECT_EQ(roleSetup.receiveThreadHandle, platform::kNoThread);
  EXPECT_TRUE(roleSetup.peerAddress.empty());
  EXPECT_TRUE(roleSetup.basePort.empty());
  EXPECT_EQ(simThread.simConnect, nullptr);
  EXPECT_FALSE(standin::ConnectionOpen());
  EXPECT_FALSE(standin::ReadNamed("MP_CONN").has_value());
}

}  // namespace
