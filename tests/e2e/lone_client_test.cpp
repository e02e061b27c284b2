// A client whose server never answers: the cockpit shows the failed link,
// both role threads still run, and the gauge kill still completes.
#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

class LoneClientTest : public SharedFlightTest {};

TEST_F(LoneClientTest, ShowsFailedLinkKeepsItsThreadsAndStopsCleanly) {
  WriteTable("QV_Lone\n");
  Start(kClient,
        StartRoleLines(0.1, 1) +
            "5 set MCDU_KeysClear 1\n"
            "6 set MP_TGL 1\n"
            "8 quit\n",
        20);
  EXPECT_EQ(WaitForExit(kClient, std::chrono::seconds(40)), std::optional<int>(0))
      << ErrorOutput(kClient);
  const SideTrace client = Trace(kClient);
  const auto log = LogLines(kClient);

  EXPECT_EQ(CountLines(log, "clientLoop start"), 1u);
  EXPECT_TRUE(client.FirstWrite("MP_STS", 2.0, By::kModule));
  EXPECT_FALSE(client.FirstWrite("MP_STS", 1.0, By::kModule));

  // The send loop runs: it releases the key-clear command after its pass.
  const auto keysClear = client.FirstWrite("MCDU_KeysClear", 1.0, By::kScript);
  ASSERT_TRUE(keysClear);
  EXPECT_TRUE(client.FirstWrite("MCDU_KeysClear", 0.0, By::kModule, keysClear->monoNs));

  // The receive loop runs: it shows the role, then takes the swap request.
  const auto toggle = client.FirstWrite("MP_TGL", 1.0, By::kScript);
  ASSERT_TRUE(toggle);
  EXPECT_TRUE(client.FirstWrite("MP_CONN", 1.0, By::kModule));
  EXPECT_TRUE(client.FirstWrite("MP_TGL", 0.0, By::kModule, toggle->monoNs));
  EXPECT_TRUE(client.FirstWrite("MP_CONN", 0.0, By::kModule, toggle->monoNs));
  EXPECT_EQ(CountLines(log, "MasterTGL0"), 1u);

  ExpectShutdownHandshake(log, "client");
}

}  // namespace
}  // namespace e2e
