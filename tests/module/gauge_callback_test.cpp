// Module start and stop, and the gauge callback's services.
#include <gtest/gtest.h>

#include <thread>

#include "common/module_state.h"
#include "standin.h"
#include "support/module_fixture.h"

namespace {

using GaugeCallbackTest = ModuleFixture;

TEST_F(GaugeCallbackTest, KillWithoutARoleLogsTheTwoHandshakeLinesOnly) {
  StartModule();
  CreateGauge();
  KillGauge();
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"Thread close initiated", "Thread Close Process Completed"}));
  EXPECT_EQ(roleState.shutdownState.load(), 1);
}

TEST_F(GaugeCallbackTest, KillWaitsForTheRoleThreadToReportTheEnd) {
  StartModule();
  CreateGauge();
  roleSetup.roleStarted = true;  // as if a role ran: the send thread reports 2 when done
  std::thread sendThread([] {
    while (roleState.shutdownState.load() != 1) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(35));
    roleState.shutdownState.store(2);
  });
  KillGauge();
  sendThread.join();
  const auto lines = LogLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), "Thread close initiated");
  EXPECT_EQ(lines.back(), "Thread Close Process Completed");
  for (std::size_t i = 1; i + 1 < lines.size(); ++i)
    EXPECT_EQ(lines[i], "Waiting for thread close");
  roleSetup.roleStarted = false;
}

TEST_F(GaugeCallbackTest, OtherServicesChangeNothing) {
  StartModule();
  CreateGauge();
  WriteFile("LVars.cfg", "SomeVar;FCTL\n");
  const auto writesBefore = standin::FindNamed("SomeVar");
  for (std::int32_t service : {0, 1, 2, 3, 5, 7, 8, 10, 11, 13, 14, -1}) {
    GaugeCallback(&multiSharedGauge, service, 0);
  }
  EXPECT_EQ(simThread.lvarCount.load(), 0u);
  EXPECT_EQ(standin::FindNamed("SomeVar"), writesBefore);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(roleState.shutdownState.load(), 0);
}

TEST_F(GaugeCallbackTest, PreInitializeRegistersFixedVariablesAndEmptiesTheTable) {
  StartModule();
  WriteFile("LVars.cfg", "SomeVar;FCTL\n");
  CreateGauge();
  Frame();
  EXPECT_EQ(simThread.lvarCount.load(), 1u);
  CreateGauge();  // an aircraft reload
  EXPECT_EQ(simThread.lvarCount.load(), 0u);
  ASSERT_TRUE(standin::FindNamed("MP_START").has_value());
  EXPECT_EQ(simThread.sharedState->vars->id[slot::kMpStart].load(),
            *standin::FindNamed("MP_START"));
}

TEST_F(GaugeCallbackTest, StartHooksKeyEventsAndOpensTheSimConnectConnectionStopUndoesIt) {
  StartModule();
  EXPECT_EQ(standin::HookedHandlerCount(), 1u);
  EXPECT_TRUE(standin::ConnectionOpen());
  EXPECT_EQ(simThread.lastSimConnectResult, 0);
  EXPECT_FALSE(standin::Definitions().empty());
  StopModule();
  EXPECT_EQ(standin::HookedHandlerCount(), 0u);
  EXPECT_FALSE(standin::ConnectionOpen());
  EXPECT_EQ(standin::PanelCalls().releasePanelResources, 1);
}

TEST_F(GaugeCallbackTest, SecondStartKeepsSharedStateAndGivesFreshZeroBlocks) {
  StartModule();
  SharedState* first = simThread.sharedState;
  simThread.sharedState->vars->value[5] = 7.0;
  simThread.sharedState->vars->id[5] = 9;
  simThread.sharedState->aircraft->planeAltitude = 1234.0;
  simThread.sharedState->axisToggle->axisValue = 16383;
  simThread.sharedState->latitude.current = 47.5;
  StopModule();

  // Straight after the start routine, before any message is delivered.
  ModuleInit();
  EXPECT_EQ(simThread.sharedState, first);
  EXPECT_EQ(simThread.sharedState->latitude.current, 47.5);  // the record itself lives on
  for (std::size_t i = 0; i < kCockpitValueSlots; ++i)
    ASSERT_EQ(simThread.sharedState->vars->value[i], 0.0);
  for (std::size_t i = 0; i < kCockpitIdSlots; ++i)
    ASSERT_EQ(simThread.sharedState->vars->id[i], 0u);
  for (const auto& field : kAircraftStateFields) {
    ASSERT_EQ((simThread.sharedState->aircraft->*field.field).load(), 0.0) << field.simVar;
  }
  EXPECT_EQ(simThread.sharedState->axisToggle->axisValue, 0);
  EXPECT_EQ(simThread.sharedState->axisToggle->pending, 0);
  ModuleDeinit();
}

// The owner checks of debug builds compare against the thread that started
// the module; a fresh state knows no simulator thread yet.
TEST_F(GaugeCallbackTest, TheModuleStartNamesTheSimulatorThread) {
  bool elsewhere = true;
  std::thread([&] { elsewhere = OnSimulatorThread(); }).join();
  EXPECT_TRUE(elsewhere);
  StartModule();
  EXPECT_TRUE(OnSimulatorThread());
  std::thread([&] { elsewhere = OnSimulatorThread(); }).join();
  EXPECT_FALSE(elsewhere);
  StopModule();
  FreshModuleState();
  std::thread([&] { elsewhere = OnSimulatorThread(); }).join();
  EXPECT_TRUE(elsewhere);
}

TEST_F(GaugeCallbackTest, FailedSimConnectOpenLeavesDispatchUnregisteredButTheGaugeWorks) {
  standin::FailNextOpen(-2147467259);  // E_FAIL
  StartModule();
  EXPECT_EQ(simThread.lastSimConnectResult, -2147467259);
  EXPECT_TRUE(standin::Definitions().empty());
  CreateGauge();
  standin::WriteNamed("MP_SYNCWX", 1.0);
  Frame();
  EXPECT_TRUE(standin::FindNamed("MP_CONN").has_value());
  EXPECT_EQ(simThread.sharedState->vars->value[slot::kMpSyncWx], 1.0);
}

}  // namespace
