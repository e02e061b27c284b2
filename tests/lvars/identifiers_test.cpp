// Named-variable identifiers as the simulator hands them out: from 0 upward,
// -1 from find for a name it does not know. Identifier 0 is a variable like
// any other, and an unknown name is looked up again until it is known.
#include <gtest/gtest.h>

#include "common/module_state.h"
#include "lvars/entry_ops.h"
#include "lvars/fixed_ids.h"
#include "lvars/fixed_variables.h"
#include "recording_panel.h"

namespace {

class Resolving : public ::testing::Test {
 protected:
  void SetUp() override {
    recording_panel::Install();
    state_.vars = &vars_;
    simThread.sharedState = &state_;
  }
  void TearDown() override { simThread.sharedState = nullptr; }

  static std::size_t Count(const std::string& service, const std::string& name) {
    std::size_t n = 0;
    for (const auto& c : recording_panel::CallsOf(service)) n += c.name == name ? 1 : 0;
    return n;
  }

 private:
  CockpitVars vars_{};
  SharedState state_;
};

TEST_F(Resolving, AnEntryAtIdentifierZeroIsLookedUpOnceThenReadAndWrittenThroughIt) {
  recording_panel::Create("QV_First");
  LVarEntry e;
  e.name = "QV_First";
  recording_panel::Recorded().values[0] = 3.0;

  for (int i = 0; i < 3; ++i) PollEntry(e);
  SetLVar(e, 0.25f);

  EXPECT_EQ(Count("find", "QV_First"), 1u);
  const auto reads = recording_panel::CallsOf("read");
  ASSERT_EQ(reads.size(), 3u);
  for (const auto& r : reads) EXPECT_EQ(r.id, 0u);
  const auto writes = recording_panel::CallsOf("write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].id, 0u);
  EXPECT_EQ(writes[0].value, 0.25);
}

TEST_F(Resolving, AnEntryUnknownAtFirstIsResolvedOnceTheSimulatorKnowsIt) {
  recording_panel::Create("QV_First");  // holds 0: an unknown name must not land there
  recording_panel::Recorded().unknown.insert("QV_Late");
  LVarEntry e;
  e.name = "QV_Late";

  EXPECT_FALSE(PollEntry(e).changed);
  SetLVar(e, 1.0f);
  EXPECT_FALSE(e.resolved.load());
  EXPECT_TRUE(recording_panel::CallsOf("write").empty());
  EXPECT_TRUE(recording_panel::CallsOf("read").empty());

  recording_panel::Recorded().unknown.erase("QV_Late");
  SetLVar(e, 2.0f);
  ASSERT_TRUE(e.resolved.load());
  const std::uint32_t id = recording_panel::Recorded().ids.at("QV_Late");
  EXPECT_EQ(e.id.load(), id);
  const auto writes = recording_panel::CallsOf("write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].id, id);
  EXPECT_EQ(Count("find", "QV_Late"), 3u);
}

// A fixed name the simulator does not know at gauge creation takes no write
// through a made-up identifier; each poll makes it known and looks it up
// again, and once known it is used like the others.
TEST_F(Resolving, AFixedVariableUnknownAtCreationIsResolvedByALaterPoll) {
  recording_panel::Recorded().unknown.insert("MP_STS");
  RegisterFixedVariables();
  ResolveFixedVariables();
  EXPECT_EQ(FixedId(slot::kMpStsId), std::nullopt);
  ASSERT_EQ(FixedId(slot::kTillerEnabled), 0u);  // the module's own first registration
  WriteFixed(slot::kMpStsId, 1.0);
  EXPECT_EQ(ReadFixed(slot::kMpStsId), std::nullopt);
  EXPECT_TRUE(recording_panel::CallsOf("write").empty());

  recording_panel::Recorded().calls.clear();
  recording_panel::Recorded().unknown.erase("MP_STS");
  PollFixedVariables();
  // Only the unresolved name is looked up again.
  EXPECT_EQ(recording_panel::CallsOf("find").size(), 1u);
  EXPECT_EQ(Count("create", "MP_STS"), 1u);
  const std::uint32_t id = recording_panel::Recorded().ids.at("MP_STS");
  EXPECT_EQ(FixedId(slot::kMpStsId), id);
  WriteFixed(slot::kMpStsId, 1.0);
  const auto writes = recording_panel::CallsOf("write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].id, id);
}

}  // namespace
