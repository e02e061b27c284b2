// The add-on's fixed named variables that the module knows by name, and the
// per-frame polling of them and of the shared table. All run on the
// simulator thread from the gauge callback.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "common/shared_state.h"
#include "lvars/entry_ops.h"

struct FixedVariable {
  const char* name;
  std::size_t idSlot;                    // CockpitVars::id slot of its identifier
  std::optional<std::size_t> valueSlot;  // CockpitVars::value slot polled each update
};

inline constexpr std::size_t kFixedVariableCount = 83;

// In registration order; the id slots do not always follow it.
inline constexpr std::array<FixedVariable, kFixedVariableCount> kFixedVariables = {{
    {"QV_Tiller_Enabled", 0, slot::kTillerEnabled},
    {"OPTALT", 2, std::nullopt},
    {"RAW_OPTALT", 1, std::nullopt},
    {"MP_CONN", slot::kMpConn, slot::kMpConn},
    {"MCDU_Cruisealt", 4, std::nullopt},
    {"MCDU_WPT_DEST_Dist", 5, std::nullopt},
    {"QV_AP_KNOBALT", 6, std::nullopt},
    {"QV_AP_ALT_Select", 7, std::nullopt},
    {"QV_AP_DIST2TOC", 8, std::nullopt},
    {"MP_START", slot::kMpStart, slot::kMpStart},
    {"MCDU_SEL_Mach", 10, std::nullopt},
    {"MCDU_FLT_PHS", 11, std::nullopt},
    {"MCDU_FAF2Dest_Dist", 12, std::nullopt},
    {"MCDU_WPT_ALTCSTR_COND1_Dist_DES", 13, std::nullopt},
    {"MCDU_WPT_ALTCSTR_COND2_Dist_DES", 14, std::nullopt},
    {"MCDU_WPT_ALTCSTR_COND3_Dist_DES", 15, std::nullopt},
    {"MCDU_WPT_ALTCSTR_COND4_Dist_DES", 16, std::nullopt},
    // Polled by the table poll, not here.
    {"MCDU_KeysClear", slot::kKeysClear, std::nullopt},
    {"MP_TGL", slot::kMpTgl, slot::kMpTgl},
    {"MP_IP2", 19, std::nullopt},
    {"MP_IP3", 20, std::nullopt},
    {"MP_IP4", 21, std::nullopt},
    {"MP_SYNCWX", slot::kMpSyncWx, slot::kMpSyncWx},
    {"MCDU_Decel2Dest_Dist", 23, std::nullopt},
    {"MP_SYNCDSP", slot::kMpSyncDsp, slot::kMpSyncDsp},
    {"MCDU_V2", 25, std::nullopt},
    {"MCDU_APP_VAPP", 26, std::nullopt},
    {"MCDU_MP_START_DES", 27, std::nullopt},
    {"HNDL_SpoilerArm", 29, std::nullopt},
    {"HNDL_SpoilerLVR", 28, std::nullopt},
    {"QV_AP_MCDU_RWYALT", 30, std::nullopt},
    {"MCDU_CrossTrackError", 31, std::nullopt},
    {"KQ_SPOILERS_SET", 32, std::nullopt},
    {"0TURB ENG CORRECTED N1:1", 33, std::nullopt},
    {"0TURB ENG CORRECTED N1:2", 34, std::nullopt},
    {"AP_AP_ALT_Mode", 35, std::nullopt},
    {"QV_AP_VS_Select2", 36, std::nullopt},
    {"QV_AP_ALT_Selected", 37, std::nullopt},
    {"ND_LevelOffDist", 38, std::nullopt},
    {"ND_LevelOffData", 39, std::nullopt},
    {"QV_ThurstBump", 40, std::nullopt},
    {"MCDU_SOCSymbData", 41, std::nullopt},
    {"MCDU_TODSymbDist", 42, std::nullopt},
    {"MCDU_TODSymbData", 43, std::nullopt},
    {"MCDU_TOD_DIST", 44, std::nullopt},
    {"FBWOutTiller", 45, std::nullopt},
    {"ABrkactiv", 49, std::nullopt},
    {"AXIS_LEFT_BRAKE_SET", 47, std::nullopt},
    {"AXIS_RIGHT_BRAKE_SET", 48, std::nullopt},
    {"BRKPIDCOUNTER2", 46, std::nullopt},
    {"QV_AP_HDGmode_setDisp", 50, std::nullopt},
    {"QV_AP_VdevAlt", 51, std::nullopt},
    {"QV_AP_VdevFPAIAS", 52, std::nullopt},
    {"MCDU_WPT_SPDCSTRlast", 53, std::nullopt},
    {"QV_MCDU2_LS_REQ", 54, std::nullopt},
    {"QV_MCDU2_LS_RES", 55, std::nullopt},
    {"QV_MCDU2_LS_PAX", 56, std::nullopt},
    {"QV_MCDU2_LS_CAR_KG", 57, std::nullopt},
    {"QV_MCDU2_LS_FUEL_KG", 58, std::nullopt},
    {"QV_MCDU2_LS_PAX_KG", 59, std::nullopt},
    {"QV_MCDU2_LS_CG", 60, std::nullopt},
    {"QV_MCDU2_LS_UNITS", 61, std::nullopt},
    {"QV_MCDU2_LD_LOAD", 62, std::nullopt},
    {"QV_MCDU2_LD_PAX", 64, std::nullopt},
    {"QV_MCDU2_LD_CARGO", 63, std::nullopt},
    {"QV_MCDU2_LD_CG", 65, std::nullopt},
    {"QV_MCDU2_LD_FUEL", 66, std::nullopt},
    {"QV_MCUD2_LD_STS_PAX", 67, std::nullopt},
    {"QV_MCUD2_LD_STS_CAR", 68, std::nullopt},
    {"QV_MCUD2_LD_STS_FUEL", 69, std::nullopt},
    {"QV_MCUD2_LD_TIME", 70, std::nullopt},
    {"QV_FBW_STEEP", 71, std::nullopt},
    {"QV_FBW_STEEP_ON", 72, std::nullopt},
    {"QV_FBW_STEEP_ON_S", 73, std::nullopt},
    {"MP_STS", slot::kMpStsId, std::nullopt},
    {"Throttle_ani_fix_L", 75, std::nullopt},
    {"Throttle_ani_fix_R", 76, std::nullopt},
    {"Throttle_ani_var_L", 77, std::nullopt},
    {"Throttle_ani_var_R", 78, std::nullopt},
    {"Spoiler_lv_Anim", slot::kSpoilerAnimId, slot::kSpoilerAnim},
    {"QV_TypeIdent", 80, std::nullopt},
    {"MCDUCSTRRev", 81, std::nullopt},
    {"MCDUFlightPlanRev", 82, std::nullopt},
}};

namespace fixed_variables_detail {
// Every id slot 0 to 82 is taken exactly once, so id slot 83 stays zero.
constexpr bool IdSlotsAreOneEach() {
  std::array<int, kFixedVariableCount> uses{};
  for (const auto& v : kFixedVariables) {
    if (v.idSlot >= kFixedVariableCount) return false;
    ++uses[v.idSlot];
  }
  for (int n : uses) {
    if (n != 1) return false;
  }
  return true;
}
constexpr std::size_t PolledCount() {
  std::size_t n = 0;
  for (const auto& v : kFixedVariables) n += v.valueSlot.has_value() ? 1 : 0;
  return n;
}
}  // namespace fixed_variables_detail
static_assert(fixed_variables_detail::IdSlotsAreOneEach());
static_assert(fixed_variables_detail::PolledCount() == 7);
static_assert(kFixedVariableCount < kCockpitIdSlots);

// Makes every fixed name known to the simulator, in list order.
void RegisterFixedVariables();
// Looks up every fixed name's identifier into its CockpitVars::id slot; a
// name the simulator does not know stays unresolved.
void ResolveFixedVariables();
// Resolves the fixed names still unresolved, then copies the seven polled
// fixed variables into their CockpitVars::value slots (an unresolved one
// keeps its slot).
void PollFixedVariables();
// Until the role starts: reads every table entry, and carries out the
// "MCDU_KeysClear" command, which puts every momentary button back to 0.
void PollLVarTable();
