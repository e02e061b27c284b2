// The fixed named variables: registration, the slots of their identifiers
// and the seven values polled every frame.
#include "lvars/fixed_variables.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "lvars_fixture.h"
#include "recording_panel.h"

namespace {

TEST(FixedVariables, AllNamesAreMadeKnownInListOrderBeforeAnyLookup) {
  CockpitVars vars{};
  SharedState state;
  state.vars = &vars;
  sharedState = &state;
  recording_panel::Install();

  GaugeCallback(nullptr, kServicePreInitialize, 0);

  const auto& calls = recording_panel::Recorded().calls;
  ASSERT_EQ(calls.size(), 2 * kFixedVariableCount);
  for (std::size_t i = 0; i < kFixedVariableCount; ++i) {
    EXPECT_EQ(calls[i].service, "create") << i;
    EXPECT_EQ(calls[kFixedVariableCount + i].service, "find") << i;
  }
  EXPECT_EQ(calls[0].name, "QV_Tiller_Enabled");
  EXPECT_EQ(calls[1].name, "OPTALT");
  EXPECT_EQ(calls[2].name, "RAW_OPTALT");
  EXPECT_EQ(calls[17].name, "MCDU_KeysClear");
  EXPECT_EQ(calls[28].name, "HNDL_SpoilerArm");
  EXPECT_EQ(calls[29].name, "HNDL_SpoilerLVR");
  EXPECT_EQ(calls[33].name, "0TURB ENG CORRECTED N1:1");
  EXPECT_EQ(calls[46].name, "ABrkactiv");
  EXPECT_EQ(calls[49].name, "BRKPIDCOUNTER2");
  EXPECT_EQ(calls[63].name, "QV_MCDU2_LD_PAX");
  EXPECT_EQ(calls[64].name, "QV_MCDU2_LD_CARGO");
  EXPECT_EQ(calls[74].name, "MP_STS");
  EXPECT_EQ(calls[79].name, "Spoiler_lv_Anim");
  EXPECT_EQ(calls[82].name, "MCDUFlightPlanRev");
  std::set<std::string> distinct;
  for (std::size_t i = 0; i < kFixedVariableCount; ++i) distinct.insert(calls[i].name);
  EXPECT_EQ(distinct.size(), kFixedVariableCount);
  sharedState = nullptr;
}

class FixedVariablesInCockpit : public LVarsFixture {};

TEST_F(FixedVariablesInCockpit, IdentifiersLandInTheirListedSlots) {
  Vars().id[83] = 77;  // whatever was there, slot 83 is not a fixed variable's
  PreInitialize();

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
    EXPECT_EQ(Vars().id[slot].load(), standin::FindNamed(name)) << slot << " " << name;
  }
  std::set<std::uint32_t> ids;
  for (std::size_t slot = 0; slot < kFixedVariableCount; ++slot) {
    EXPECT_NE(Vars().id[slot].load(), 0u) << slot;
    ids.insert(Vars().id[slot].load());
  }
  EXPECT_EQ(ids.size(), kFixedVariableCount);
  EXPECT_EQ(Vars().id[83].load(), 77u);
}

TEST_F(FixedVariablesInCockpit, IdSlot83StaysZero) {
  PreInitialize();
  Update();
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
