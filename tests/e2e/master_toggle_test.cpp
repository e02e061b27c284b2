// "MP_TGL" swaps who flies, from either side: the aircraft state, the
// flight controls and the relayed key events change direction with it.
#include <algorithm>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

constexpr std::uint32_t kDefinitionLatitude = 31;
constexpr std::int64_t kHalfSecondNs = 500'000'000;

std::vector<std::string> ToggleLines(const std::vector<std::string>& log) {
  std::vector<std::string> lines;
  std::copy_if(log.begin(), log.end(), std::back_inserter(lines),
               [](const std::string& l) { return l.rfind("MasterTGL", 0) == 0; });
  return lines;
}

class MasterToggleTest : public SharedFlightTest {};

TEST_F(MasterToggleTest, EitherSideSwapsWhoFlies) {
  WriteTable("QV_Fctl;FCTL\n");
  const std::string server = StartRoleLines(0.1, 0) +
                             "2 fly 15 2 250 500\n"
                             "4 set MP_TGL 1\n"   // the client flies from here
                             "6 set QV_Fctl 5\n"  // following now: not sent, set back
                             "7 key 65602 3\n"    // following now: relayed
                             "14 quit\n";
  const std::string client = StartRoleLines(0.1, 1) +
                             "5 fly -15 2 250 500\n"
                             "7.5 set QV_Fctl 8\n"  // flying now: sent
                             "9 set MP_TGL 1\n"     // the server flies again
                             "13.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 20));
  const SideTrace serverTrace = Trace(kServer);
  const SideTrace clientTrace = Trace(kClient);

  const auto firstToggle = serverTrace.FirstWrite("MP_TGL", 1.0, By::kScript);
  const auto secondToggle = clientTrace.FirstWrite("MP_TGL", 1.0, By::kScript);
  ASSERT_TRUE(firstToggle && secondToggle);
  const std::int64_t t1 = firstToggle->monoNs;
  const std::int64_t t2 = secondToggle->monoNs;

  {
    SCOPED_TRACE("the aircraft state changes direction with each swap");
    const auto serverEased = serverTrace.SetData(kDefinitionLatitude);
    const auto clientEased = clientTrace.SetData(kDefinitionLatitude);
    EXPECT_EQ(CountBetween(serverEased, 0, t1), 0u);
    EXPECT_GT(CountBetween(clientEased, 0, t1), 60u);
    EXPECT_GT(CountBetween(serverEased, t1 + kHalfSecondNs, t2), 60u);
    EXPECT_EQ(CountBetween(clientEased, t1 + kHalfSecondNs, t2), 0u);
    EXPECT_EQ(CountBetween(serverEased, t2 + kHalfSecondNs, INT64_MAX), 0u);
    EXPECT_GT(CountBetween(clientEased, t2 + kHalfSecondNs, INT64_MAX), 60u);
  }
  {
    SCOPED_TRACE("MP_CONN shows the flag on both sides, MP_TGL is consumed");
    // Role start, first swap, second swap.
    EXPECT_EQ(Values(serverTrace.Writes("MP_CONN", By::kModule)),
              (std::vector<double>{0.0, 1.0, 0.0}));
    EXPECT_EQ(Values(clientTrace.Writes("MP_CONN", By::kModule)),
              (std::vector<double>{1.0, 0.0, 1.0}));
    EXPECT_TRUE(serverTrace.FirstWrite("MP_TGL", 0.0, By::kModule, t1));
    EXPECT_TRUE(clientTrace.FirstWrite("MP_TGL", 0.0, By::kModule, t2));
    EXPECT_EQ(ToggleLines(LogLines(kServer)), std::vector<std::string>{"MasterTGL1"});
    EXPECT_EQ(ToggleLines(LogLines(kClient)), std::vector<std::string>{"MasterTGL1"});
  }
  {
    SCOPED_TRACE("flight controls and key events follow who flies");
    // The server's own move while following is set back to the flying
    // client's value, which answers it, then the client's change arrives.
    const auto fctl = serverTrace.Writes("QV_Fctl", By::kModule);
    EXPECT_EQ(Values(fctl), (std::vector<double>{0.0, 8.0}));
    const auto ownMove = serverTrace.FirstWrite("QV_Fctl", 5.0, By::kScript);
    ASSERT_TRUE(ownMove);
    if (!fctl.empty()) {
      EXPECT_GT(fctl.front().monoNs, ownMove->monoNs) << "set back before the move";
    }
    EXPECT_TRUE(clientTrace.Writes("QV_Fctl", By::kModule).empty());
    std::vector<std::uint32_t> performed;
    for (const auto& k : clientTrace.KeyEvents(By::kModule)) performed.push_back(k.body.id);
    EXPECT_EQ(performed, (std::vector<std::uint32_t>{66771, 66772, 0x10042}));
    for (const auto& k : serverTrace.KeyEvents(By::kModule)) {
      EXPECT_NE(k.body.id, 0x10042u) << "the relayed event came back";
    }
  }

  ExpectShutdownHandshake(LogLines(kServer), "server");
  ExpectShutdownHandshake(LogLines(kClient), "client");
}

}  // namespace
}  // namespace e2e
