// What the real simulator does and a naive stand-in hides: the variable at
// identifier 0 belongs to the aircraft's gauges and is shared like any other;
// the simulator may report SimConnect exceptions and end the session, and
// the shared cockpit goes on without SimConnect.
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "shared_flight.h"

namespace e2e {
namespace {

using trace::By;

// The aircraft's gauges register it before the module loads: identifier 0.
constexpr const char* kGaugeVariable = "QV_Zero";

class PlatformTruthsTest : public SharedFlightTest {
 protected:
  std::vector<std::string> SimulatorCommand(int side, const std::string& base,
                                            const std::string& duration,
                                            const std::string& run) const override {
    auto command = SharedFlightTest::SimulatorCommand(side, base, duration, run);
    command.insert(command.end(), {"--aircraft-variables", kGaugeVariable});
    return command;
  }

  // The trace records of one type that the harness's reader does not know.
  std::vector<nlohmann::json> Records(int side, const std::string& type) const {
    std::vector<nlohmann::json> records;
    std::ifstream in(Documents(side) + "/trace.jsonl");
    for (std::string line; std::getline(in, line);) {
      const auto record = nlohmann::json::parse(line, nullptr, false);
      if (record.is_object() && record.value("type", "") == type) records.push_back(record);
    }
    return records;
  }
};

TEST_F(PlatformTruthsTest, IdentifierZeroIsSharedBothWaysAndTheCockpitOutlivesSimConnect) {
  WriteTable(std::string(kGaugeVariable) + "\nQV_After;FCTL\n");
  const std::string server = StartRoleLines(0.1, kServer) +
                             "2 set QV_Zero 1\n"
                             "2.5 gear 1\n"
                             "6 gear 0\n"  // the client's session has ended by now
                             "6.5 set QV_After 3\n"
                             "9 quit\n";
  const std::string client = StartRoleLines(0.1, kClient) +
                             "3 exception 3 7 2\n"
                             "4 set QV_Zero 2\n"
                             "5 simconnectquit\n"
                             "8.5 quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 15));
  const SideTrace serverTrace = Trace(kServer);
  const SideTrace clientTrace = Trace(kClient);

  {
    SCOPED_TRACE("the variable at identifier 0 travels both ways");
    EXPECT_EQ(Values(clientTrace.Writes(kGaugeVariable, By::kModule)), std::vector<double>{1.0});
    EXPECT_EQ(Values(serverTrace.Writes(kGaugeVariable, By::kModule)), std::vector<double>{2.0});
  }
  {
    SCOPED_TRACE("the client's session: eased and geared until the quit, silent after it");
    std::vector<double> gear;
    for (const auto& g : clientTrace.SetData(kDefinitionGearHandle)) gear.push_back(g.body.value);
    // The server's snapshot on connecting brings its handle (0) first.
    EXPECT_EQ(gear, (std::vector<double>{0.0, 1.0}));
    EXPECT_FALSE(clientTrace.SetData(kDefinitionLatitude).empty());
    ASSERT_EQ(Records(kClient, "simconnect_quit").size(), 1u);
    EXPECT_TRUE(Records(kClient, "simconnect_refused").empty())
        << "the module called SimConnect after the quit";
    const auto log = LogLines(kClient);
    EXPECT_EQ(CountLines(log, "SimConnect exception 3 (send id 7, parameter 2)"), 1u);
    EXPECT_EQ(CountLines(log,
                         "SimConnect quit: the simulator ended the session; the aircraft is "
                         "no longer read or moved"),
              1u);
  }
  {
    SCOPED_TRACE("the link goes on: a cockpit change after the quit still arrives");
    EXPECT_EQ(Values(clientTrace.Writes("QV_After", By::kModule)), std::vector<double>{3.0});
  }
  {
    SCOPED_TRACE("the role threads' calls are counted off the simulator's thread");
    for (int side : {kServer, kClient}) {
      const auto counts = Records(side, "off_thread_calls");
      ASSERT_EQ(counts.size(), 1u);
      const auto& calls = counts[0]["calls"];
      EXPECT_GT(calls.value("ReadNamedValue", 0), 100) << counts[0].dump();
      std::cout << (side == kServer ? "server" : "client") << " " << counts[0].dump() << '\n';
    }
  }
}

}  // namespace
}  // namespace e2e
