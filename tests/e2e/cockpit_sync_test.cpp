// Every category rule of the shared-variable table, in both directions, on
// one run: the server changes the "_S" variables, the client the "_C" ones.
#include <algorithm>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

// Index 0 on purpose: the first line of the table must reach the peer too.
constexpr const char* kTable =
    "QV_Cat0_S\n"
    "QV_Cat0_C\n"
    "QV_Fctl;FCTL\n"
    "QV_Mbtn_S;MBTN\n"
    "QV_Mbtn_C;MBTN\n"
    "QV_Fcu_S;FCU\n"
    "QV_FcuH_S;FCUh\n"
    "QV_Fcu_C;FCU\n"
    "QV_FcuH_C;FCUh\n"
    "QV_Disp_S;DISP\n"
    "QV_Disp_C;DISP\n"
    "QV_Wx_S;TERRWX\n"
    "QV_Wx_C;TERRWX\n"
    "QV_Btn_S;BTN\n"
    "QV_Btn_C;BTN\n";

// The same cockpit changes for one side, from `t0` on: the variables named
// with `suffix`, the shared FCTL variable set to `fctl`.
std::string CockpitChanges(double t0, const std::string& suffix, int cat0Value, int fctl) {
  auto at = [&](double dt) { return std::to_string(t0 + dt) + " "; };
  return at(0.0) + "set QV_Cat0" + suffix + " " + std::to_string(cat0Value) + "\n" +  //
         at(0.0) + "set QV_Fctl " + std::to_string(fctl) + "\n" +                     //
         at(0.5) + "set QV_Mbtn" + suffix + " 1\n" +                                  //
         at(0.6) + "set MCDU_KeysClear 1\n" +                                         //
         at(1.0) + "set QV_FcuH" + suffix + " 150\n" +  // alone: not sent
         at(1.5) + "set QV_Fcu" + suffix + " 200\n" +   // sends the pair
         at(2.0) + "set QV_FcuH" + suffix + " 300\n" +  //
         at(2.5) + "set QV_Fcu" + suffix + " 300\n" +   // equal values: nothing
         at(3.0) + "set QV_Disp" + suffix + " 5\n" +    // gates closed
         at(3.0) + "set QV_Wx" + suffix + " 5\n" +      //
         at(3.5) + "set MP_SYNCDSP 1\n" +               //
         at(3.5) + "set MP_SYNCWX 1\n" +                //
         at(4.0) + "set QV_Disp" + suffix + " 7\n" +    // gates open
         at(4.0) + "set QV_Wx" + suffix + " 7\n" +      //
         at(4.5) + "set QV_Btn" + suffix + " 1\n" +     //
         at(5.0) + "set QV_Btn" + suffix + " 0\n";      // a release is not sent
}

class CockpitSyncTest : public SharedFlightTest {
 protected:
  // What the module of `receiver` wrote for the variables that `suffix`'s
  // side changed, and what the module of the origin wrote for them.
  void ExpectCategoryRules(const SideTrace& receiver, const SideTrace& origin,
                           const std::string& suffix, double cat0Value) {
    SCOPED_TRACE("variables " + suffix);
    EXPECT_EQ(Values(receiver.Writes("QV_Cat0" + suffix, By::kModule)),
              std::vector<double>{cat0Value});
    // Momentary button: applied, later released by the receiver's own
    // key-clear command; never raised again on the origin (no echo).
    EXPECT_EQ(Values(receiver.Writes("QV_Mbtn" + suffix, By::kModule)),
              (std::vector<double>{1.0, 0.0}));
    for (const auto& w : origin.Writes("QV_Mbtn" + suffix, By::kModule)) {
      EXPECT_EQ(w.body.value, 0.0) << "the button came back to its origin";
    }
    // The FCU pair: the change of the first sends both, the first one first;
    // the refresh of the side that flies brings the rest (the partner moved
    // alone, equal values). Both sides end the same.
    EXPECT_TRUE(receiver.FirstWrite("QV_Fcu" + suffix, 200.0, By::kModule));
    EXPECT_TRUE(receiver.FirstWrite("QV_FcuH" + suffix, 150.0, By::kModule));
    for (const char* name : {"QV_Fcu", "QV_FcuH"}) {
      EXPECT_EQ(receiver.Last(name + suffix), origin.Last(name + suffix)) << name << suffix;
    }
    // Gated categories pass only once their gate is open; the value set while
    // it was closed goes then.
    EXPECT_EQ(Values(receiver.Writes("QV_Disp" + suffix, By::kModule)),
              (std::vector<double>{5.0, 7.0}));
    EXPECT_EQ(Values(receiver.Writes("QV_Wx" + suffix, By::kModule)),
              (std::vector<double>{5.0, 7.0}));
    // BTN: only non-zero values.
    EXPECT_EQ(Values(receiver.Writes("QV_Btn" + suffix, By::kModule)), std::vector<double>{1.0});
    // Nothing the receiver applied went back to the origin.
    for (const char* name : {"QV_Cat0", "QV_Disp", "QV_Wx", "QV_Btn"}) {
      EXPECT_TRUE(origin.Writes(name + suffix, By::kModule).empty())
          << name << suffix << " came back to its origin";
    }
  }
};

TEST_F(CockpitSyncTest, EveryCategoryTravelsByItsRuleInBothDirections) {
  WriteTable(kTable);
  // The client starts a little after the server, so its clock runs behind;
  // each side releases the peer's momentary button well after it arrived.
  const std::string server = StartRoleLines(0.1, 0) + CockpitChanges(2.0, "_S", 3, 2) +
                             "10.5 set MCDU_KeysClear 1\n"
                             "14 quit\n";
  const std::string client = StartRoleLines(0.1, 1) + "4 set MCDU_KeysClear 1\n" +
                             CockpitChanges(7.0, "_C", 4, 9) + "13.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 20));
  const SideTrace serverTrace = Trace(kServer);
  const SideTrace clientTrace = Trace(kClient);

  ExpectCategoryRules(clientTrace, serverTrace, "_S", 3.0);
  ExpectCategoryRules(serverTrace, clientTrace, "_C", 4.0);

  // FCTL travels only from the side that flies (the server); the client's
  // own move while following is set back to the server's value.
  const auto fctl = clientTrace.Writes("QV_Fctl", By::kModule);
  ASSERT_FALSE(fctl.empty());
  EXPECT_EQ(fctl.front().body.value, 2.0);
  EXPECT_EQ(clientTrace.Last("QV_Fctl"), 2.0);
  EXPECT_TRUE(serverTrace.Writes("QV_Fctl", By::kModule).empty())
      << "the following client's flight control reached the server";

  // Each applied value is logged by its receiver.
  EXPECT_EQ(CountLines(LogLines(kClient), "LvarsSet: QV_Cat0_S Value: 3"), 1u);
  EXPECT_EQ(CountLines(LogLines(kServer), "LvarsSet: QV_Cat0_C Value: 4"), 1u);

  ExpectShutdownHandshake(LogLines(kServer), "server");
  ExpectShutdownHandshake(LogLines(kClient), "client");
}

}  // namespace
}  // namespace e2e
