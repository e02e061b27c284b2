// The fixed named variables: registration, the slots of their identifiers
// and the seven values polled every frame.
#include "lvars/fixed_variables.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "lvars/fixed_ids.h"
#include "lvars_fixture.h"
#include "recording_panel.h"

namespace {

TEST(FixedVariables, AllNamesAreMadeKnownInListOrderBeforeAnyLookup) {
  CockpitVars vars{};
  SharedState state;
  state.vars = &vars;
  simThread.sharedState = &state;
  recording_panel::Install();

  GaugeCallback(nullptr, kServicePreInitialize, 0);

  const auto& calls = recording_panel::Recorded().calls;
  ASSERT_EQ(calls.size(), 2 * kFixedVariableCount);
  for (std::size_t i = 0; i < kFixedVariableCount; ++i) {
    EXPECT_EQ(calls[i].service, "create") << i;
    EXPECT_EQ(calls[kFixedVariableCount + i].service, "find") << i;
  }
  // Spots where the id slots leave the list order, and both ends.
  const std::map<std::size_t, std::string> registered = {
      {0, "QV_Tiller_Enabled"},  {1, "OPTALT"},
      {2, "RAW_OPTALT"},         {28, "HNDL_SpoilerArm"},
      {29, "HNDL_SpoilerLVR"},   {46, "ABrkactiv"},
      {49, "BRKPIDCOUNTER2"},    {63, "QV_MCDU2_LD_PAX"},
      {64, "QV_MCDU2_LD_CARGO"}, {79, "Spoiler_lv_Anim"},
      {82, "MCDUFlightPlanRev"}};
  for (const auto& [position, name] : registered) EXPECT_EQ(calls[position].name, name);
  std::set<std::string> distinct;
  for (std::size_t i = 0; i < kFixedVariableCount; ++i) distinct.insert(calls[i].name);
  EXPECT_EQ(distinct.size(), kFixedVariableCount);
  simThread.sharedState = nullptr;
}

class FixedVariablesInCockpit : public LVarsFixture {};

TEST_F(FixedVariablesInCockpit, IdentifiersLandInTheirListedSlots) {
  PreInitialize();
  Update();

  const std::map<std::size_t, std::string> outOfOrder = {
      {1, "RAW_OPTALT"},
      {2, "OPTALT"},
      {28, "HNDL_SpoilerLVR"},
      {29, "HNDL_SpoilerArm"},
      {46, "BRKPIDCOUNTER2"},
      {47, "AXIS_LEFT_BRAKE_SET"},
      {48, "AXIS_RIGHT_BRAKE_SET"},
      {49, "ABrkactiv"},
      {63, "QV_MCDU2_LD_CARGO"},
      {64, "QV_MCDU2_LD_PAX"},
      {0, "QV_Tiller_Enabled"},
      {3, "MP_CONN"},
      {9, "MP_START"},
      {17, "MCDU_KeysClear"},
      {18, "MP_TGL"},
      {74, "MP_STS"},
      {79, "Spoiler_lv_Anim"},
      {82, "MCDUFlightPlanRev"},
  };
  for (const auto& [slot, name] : outOfOrder) {
    EXPECT_EQ(FixedId(slot), standin::FindNamed(name)) << slot << " " << name;
  }
  std::set<std::uint32_t> ids;
  for (std::size_t slot = 0; slot < kFixedVariableCount; ++slot) {
    EXPECT_TRUE(FixedId(slot).has_value()) << slot;
    ids.insert(Vars().id[slot].load());
  }
  EXPECT_EQ(ids.size(), kFixedVariableCount);
  EXPECT_EQ(Vars().id[83].load(), 0u);
}

TEST_F(FixedVariablesInCockpit, EachUpdateCopiesTheSevenPolledValues) {
  PreInitialize();
  const std::map<std::string, double> cockpit = {
      {"QV_Tiller_Enabled", 1.0}, {"MP_CONN", 2.0},
      {"MP_START", 3.0},          {"MP_TGL", 4.0},
      {"MP_SYNCWX", 5.0},         {"MP_SYNCDSP", 6.0},
      {"Spoiler_lv_Anim", 7.5},   {"OPTALT", 8.0},
      {"RAW_OPTALT", 9.0},        {"MCDU_KeysClear", 10.0},
      {"MP_STS", 11.0},           {"QV_TypeIdent", 12.0},
  };
  for (const auto& [name, value] : cockpit) standin::WriteNamed(name, value);

  Update();

  const std::map<std::size_t, double> expected = {{0, 1.0},  {3, 2.0},  {9, 3.0}, {18, 4.0},
                                                  {22, 5.0}, {24, 6.0}, {83, 7.5}};
  for (std::size_t slot = 0; slot < kCockpitValueSlots; ++slot) {
    const auto it = expected.find(slot);
    EXPECT_EQ(Vars().value[slot].load(), it == expected.end() ? 0.0 : it->second) << slot;
  }

  standin::WriteNamed("MP_TGL", 0.0);
  standin::WriteNamed("Spoiler_lv_Anim", -1.25);
  Update();
  EXPECT_EQ(Vars().value[18].load(), 0.0);
  EXPECT_EQ(Vars().value[83].load(), -1.25);
}

}  // namespace
