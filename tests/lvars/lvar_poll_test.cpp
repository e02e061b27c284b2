// The table poll before the role starts, the "MCDU_KeysClear" command and
// the operations on one entry that the role loops share.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "lvars/fixed_variables.h"
#include "lvars_fixture.h"
#include "recording_panel.h"

namespace {

class LVarPoll : public LVarsFixture {
 protected:
  // Loads `table` as LVars.cfg in the first update after aircraft load.
  void LoadTable(const std::string& table) {
    WriteFile("LVars.cfg", table);
    PreInitialize();
  }
};

TEST_F(LVarPoll, NothingHappensBeforeATableExists) {
  standin::WriteNamed("MCDU_KeysClear", 1.0);
  PreInitialize();
  Update();
  Update();
  EXPECT_EQ(Named("MCDU_KeysClear"), 1.0);
  EXPECT_EQ(Vars().value[slot::kKeysClear].load(), 0.0);
}

TEST_F(LVarPoll, KeysClearReleasesMomentaryButtonsStandingAtOne) {
  LoadTable("B1;MBTN\nF;FCTL\nB2;MBTN\nB3;MBTN\nB4;BTN\n");
  standin::WriteNamed("B1", 1.0);
  standin::WriteNamed("F", 1.0);
  standin::WriteNamed("B2", 1.0);
  standin::WriteNamed("B3", 0.5);
  standin::WriteNamed("B4", 1.0);
  standin::WriteNamed("MCDU_KeysClear", 1.0);

  Update();

  ASSERT_EQ(simThread.lvarCount.load(), 5u);
  for (const char* released : {"B1", "B2"}) {
    EXPECT_EQ(Named(released), 0.0) << released;
  }
  EXPECT_EQ(Entry(0).value.load(), 0.0f);
  EXPECT_EQ(Entry(0).previous.load(), 0.0f);
  EXPECT_EQ(Entry(2).value.load(), 0.0f);
  EXPECT_EQ(Entry(2).previous.load(), 0.0f);
  // Another category, or a button not exactly at 1, is left alone.
  EXPECT_EQ(Named("F"), 1.0);
  EXPECT_EQ(Entry(1).value.load(), 1.0f);
  EXPECT_EQ(Named("B3"), 0.5);
  EXPECT_EQ(Entry(3).value.load(), 0.5f);
  EXPECT_EQ(Named("B4"), 1.0);
  // The command itself is put back and marked as carried out.
  EXPECT_EQ(Named("MCDU_KeysClear"), 0.0);
  EXPECT_EQ(Vars().value[slot::kKeysClear].load(), -1.0);
}

TEST_F(LVarPoll, KeysClearOtherThanOneReleasesNothingButIsStillReset) {
  LoadTable("B1;MBTN\n");
  standin::WriteNamed("B1", 1.0);
  standin::WriteNamed("MCDU_KeysClear", 0.5);

  Update();

  EXPECT_EQ(Named("B1"), 1.0);
  EXPECT_EQ(Entry(0).value.load(), 1.0f);
  EXPECT_EQ(Named("MCDU_KeysClear"), 0.0);
  EXPECT_EQ(Vars().value[slot::kKeysClear].load(), -1.0);
}

TEST_F(LVarPoll, APollKeepsThePreviousValueBesideTheNewOne) {
  LoadTable("A;FCTL\n");
  standin::WriteNamed("A", 0.0);
  Update();
  standin::WriteNamed("A", 1.0);
  Update();
  EXPECT_EQ(Entry(0).previous.load(), 0.0f);
  EXPECT_EQ(Entry(0).value.load(), 1.0f);
  EXPECT_TRUE(EntryChanged(Entry(0)));

  Update();
  EXPECT_EQ(Entry(0).previous.load(), 1.0f);
  EXPECT_EQ(Entry(0).value.load(), 1.0f);
  EXPECT_FALSE(EntryChanged(Entry(0)));
}

TEST_F(LVarPoll, ValuesAreNarrowedToFloatBeforeTheyAreCompared) {
  LoadTable("A;FCTL\nB;MBTN\n");
  standin::WriteNamed("A", 0.1);
  // Not 1 as a double, but exactly 1 once narrowed: the button is released.
  standin::WriteNamed("B", 1.0 + 1e-12);
  standin::WriteNamed("MCDU_KeysClear", 1.0);

  Update();

  EXPECT_EQ(Entry(0).value.load(), 0.1f);
  EXPECT_NE(static_cast<double>(Entry(0).value.load()), 0.1);
  EXPECT_EQ(Named("B"), 0.0);
}

TEST_F(LVarPoll, TheTableIsNoLongerPolledOnceTheRoleHasStarted) {
  LoadTable("A;FCTL\nB;MBTN\n");
  standin::WriteNamed("A", 1.0);
  Update();
  ASSERT_EQ(Entry(0).value.load(), 1.0f);

  Store(roleSetup.roleStarted, true);
  standin::WriteNamed("A", 2.0);
  standin::WriteNamed("B", 1.0);
  standin::WriteNamed("MCDU_KeysClear", 1.0);
  Update();

  EXPECT_EQ(Entry(0).value.load(), 1.0f);
  EXPECT_EQ(Entry(0).previous.load(), 0.0f);
  EXPECT_EQ(Named("B"), 1.0);
  EXPECT_EQ(Named("MCDU_KeysClear"), 1.0);
  Store(roleSetup.roleStarted, false);  // no role threads exist for the gauge kill to wait for
}

TEST_F(LVarPoll, SetLVarWritesTheCockpitAndLeavesNoChangeToSend) {
  LoadTable("A;FCTL\n");
  Update();
  LVarEntry& a = Entry(0);
  Store(a.resolved, false);  // as if never looked up: SetLVar resolves it itself
  Store(a.id, 4321);
  a.previous = 0.0f;
  a.value = 1.0f;

  SetLVar(a, 0.75f);

  EXPECT_EQ(std::optional(a.id.load()), standin::FindNamed("A"));
  EXPECT_EQ(Named("A"), 0.75);
  EXPECT_EQ(a.value.load(), 0.75f);
  EXPECT_EQ(a.previous.load(), 0.75f);
  Update();
  EXPECT_FALSE(EntryChanged(a));
}

// The send thread polls while the receive thread applies the peer's values:
// a poll that read the variable just before an apply and stored after it, or
// a change test that read value and previous on either side of an apply,
// would see the applied value as a local change and send it back.
TEST_F(LVarPoll, ValuesAppliedDuringPollsAreNeverSeenAsLocalChanges) {
  LoadTable("A;FCTL\n");
  Update();
  LVarEntry& a = Entry(0);
  std::atomic<bool> applied{false};
  std::thread receiver([&] {
    for (int k = 1; k <= 20000; ++k) SetLVar(a, static_cast<float>(k));
    applied = true;
  });
  int polls = 0;
  int changes = 0;
  while (!applied.load()) {
    // Neither a change to send nor a local move that would keep the peer's
    // next value out.
    const PollResult poll = PollEntry(a);
    if (poll.changed || poll.moved) ++changes;
    if (EntryChanged(a)) ++changes;
    ++polls;
  }
  receiver.join();
  EXPECT_GT(polls, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Named("A"), 20000.0);
}

TEST(EntryChanged, ComparesTheSinglePrecisionDifferenceWithPointTwo) {
  auto changed = [](float previous, float value) {
    LVarEntry e;
    e.previous = previous;
    e.value = value;
    return EntryChanged(e);
  };
  EXPECT_FALSE(changed(0.0f, 0.0f));
  EXPECT_FALSE(changed(0.0f, 0.19f));
  EXPECT_TRUE(changed(0.0f, 0.21f));
  EXPECT_TRUE(changed(1.0f, 0.0f));
  EXPECT_TRUE(changed(0.0f, -0.5f));
  // 0.2f lies just above 0.2, while 1 - 0.8f falls just below it.
  EXPECT_TRUE(changed(0.0f, 0.2f));
  EXPECT_FALSE(changed(1.0f, 0.8f));
}

class EntryResolving : public ::testing::Test {
 protected:
  void SetUp() override { recording_panel::Install(); }
};

TEST_F(EntryResolving, CreatesThenFindsAndKeepsAFoundId) {
  LVarEntry e;
  e.name = "A";
  ResolveEntry(e);
  ResolveEntry(e);
  const auto& calls = recording_panel::Recorded().calls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].service, "create");
  EXPECT_EQ(calls[0].name, "A");
  EXPECT_EQ(calls[1].service, "find");
  EXPECT_EQ(e.id.load(), recording_panel::Recorded().ids.at("A"));
}

TEST_F(EntryResolving, AnUnknownNameIsLookedUpAgainAtEachUseAndNeverWritten) {
  recording_panel::Recorded().unknown.insert("Ghost");
  LVarEntry e;
  e.name = "Ghost";

  SetLVar(e, 1.0f);
  SetLVar(e, 0.5f);

  EXPECT_FALSE(e.resolved.load());
  EXPECT_EQ(recording_panel::CallsOf("create").size(), 2u);
  EXPECT_EQ(recording_panel::CallsOf("find").size(), 2u);
  EXPECT_TRUE(recording_panel::CallsOf("write").empty());
  EXPECT_EQ(e.value.load(), 0.5f);
  EXPECT_EQ(e.previous.load(), 0.5f);
}

TEST_F(EntryResolving, AnUnknownNameIsNeitherReadNorChangedByThePoll) {
  CockpitVars vars{};
  SharedState state;
  state.vars = &vars;
  simThread.sharedState = &state;
  recording_panel::Create("MCDU_KeysClear");
  ResolveFixed("MCDU_KeysClear", slot::kKeysClear);
  recording_panel::Recorded().calls.clear();
  recording_panel::Recorded().unknown.insert("Ghost");
  simThread.lvarTable.clear();
  simThread.lvarTable.push_back(std::make_unique<LVarEntry>());
  simThread.lvarTable[0]->name = "Ghost";
  simThread.lvarTable[0]->value = 0.5f;
  Store(simThread.lvarCount, 1);
  Store(roleSetup.roleStarted, false);

  PollLVarTable();

  // Only the command variable is read, before and after the table.
  EXPECT_EQ(recording_panel::CallsOf("read").size(), 2u);
  EXPECT_EQ(recording_panel::CallsOf("find").size(), 1u);
  EXPECT_EQ(simThread.lvarTable[0]->value.load(), 0.5f);
  EXPECT_EQ(simThread.lvarTable[0]->previous.load(), 0.0f);
  simThread.lvarTable.clear();
  Store(simThread.lvarCount, 0);
  simThread.sharedState = nullptr;
}

}  // namespace
