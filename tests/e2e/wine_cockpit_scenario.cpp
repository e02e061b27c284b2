#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include "wine_flight.h"

namespace e2e {
namespace {

using trace::By;

constexpr std::uint32_t kRelayedKey = 65602;
constexpr std::int64_t kHalfSecondNs = 500'000'000;

// Every line of the log is one whole message of the module, ended by CR LF
// (text mode on Windows): a torn or interleaved append breaks one of them.
void ExpectWholeLines(const std::string& logPath, const char* who) {
  SCOPED_TRACE(who);
  std::ifstream file(logPath, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(text.empty()) << "no log at " << logPath;
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << "the log does not end with a whole line";
  static const std::regex kMessage(
      R"(.*\\Veltrana\\Quelvo\\SharedConfig\.cfg|198\.18\.0\.[12]|5000|Launch|)"
      R"(No of LVars in Table ?\d+|serverLoop (start|init|UDP Bind Process completed|)"
      R"(R UDP Bind Process completed|Binded Port: 5000)|clientLoop start|R UDP start|)"
      R"(R UDP connected to 198\.18\.0\.[12]|client \d+ has been connected to the server|)"
      R"(Connection closed|)"
      R"(Peer: hello, extension version \d+, session [0-9A-F]{16}, a new session; )"
      R"(LVars\.cfg is the same on both sides|)"
      R"(Router: no UPnP router answered; forward UDP 5001( and 34835)? to this computer in )"
      R"(the router by hand, or turn UPnP on there|)"
      R"(Thread close initiated|Waiting for thread close|Thread Close Process Completed|)"
      R"(MasterTGL[01]|LvarsSet: QV_\w+ Value: -?[0-9.]+|SimEvent: \d+ Value: -?\d+|)"
      R"(Cockpit sent to the peer: \d+ values and the gear handle|)"
      R"(Corrected from peer: (QV_\w+ Value: -?[0-9.]+|\d+ more values)|)"
      R"(thread close start, thread2 wait close|thread closed)");
  std::size_t begin = 0;
  int lines = 0;
  while (begin < text.size()) {
    const std::size_t end = text.find("\r\n", begin);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(begin, end - begin);
    EXPECT_TRUE(std::regex_match(line, kMessage)) << "line " << lines + 1 << ": " << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "line " << lines + 1;
    begin = end + 2;
    ++lines;
  }
  EXPECT_GT(lines, 10);
}

// The greatest distance between the follower's aircraft and the leader's
// nearest in time, from `fromNs` to `toNs`; -1 when no sample falls there.
double WorstFollowMetres(const SideTrace& leader, const SideTrace& follower, std::int64_t fromNs,
                         std::int64_t toNs) {
  const auto led = leader.All<trace::Aircraft>();
  double worst = -1.0;
  for (const auto& f : follower.All<trace::Aircraft>()) {
    if (led.empty() || f.monoNs < fromNs || f.monoNs >= toNs) continue;
    auto it = std::lower_bound(led.begin(), led.end(), f.monoNs,
                               [](const auto& s, std::int64_t ns) { return s.monoNs < ns; });
    if (it == led.end()) it = std::prev(it);
    worst = std::max(worst, trace::DistanceMetres(f.body, it->body));
  }
  return worst;
}

}  // namespace

void WineCockpitScenario::FlyAndCheck() {
  // A datagram variable (FCTL: from the side that flies) and a reliable one
  // (no category), each going one way before the swap and back after it.
  WriteTable("QV_Rel\nQV_Fctl;FCTL\n");
  // Script times count from each simulator's own start, and the client
  // starts after the server (the server's role first, then Wine), by a few
  // seconds on an idle machine and by 15 or more on a busy one. Its actions
  // at its own time 24 therefore come after the server's swap at 20 however
  // late it starts, and the server waits until 55 for them. A side that
  // starts slowly shifts both scripts by serverLead_, so that the client has
  // followed for a while before the swap.
  const auto at = [this](int seconds) { return std::to_string(seconds + serverLead_) + " "; };
  const std::string server = StartRoleLines(0.1, 0) + "2 fly 15 2 250 500\n" + at(16) +
                             "set QV_Rel 3\n" + at(16) + "set QV_Fctl 2\n" + at(20) +
                             "set MP_TGL 1\n" +          // the client flies from here
                             at(23) + "key 65602 3\n" +  // following now: relayed
                             at(55) + "quit\n";
  const std::string client = StartRoleLines(0.1, 1) + "5 fly -15 2 250 500\n" + at(24) +
                             "set QV_Rel 4\n" + at(24) + "set QV_Fctl 8\n" +  // flying now: sent
                             at(30) + "quit\n";
  ASSERT_NO_FATAL_FAILURE(RunBoth(server, client, 70 + serverLead_));
  const SideTrace serverTrace = Trace(kServer);
  const SideTrace clientTrace = Trace(kClient);
  const auto toggle = serverTrace.FirstWrite("MP_TGL", 1.0, By::kScript);
  ASSERT_TRUE(toggle);
  const std::int64_t swapNs = toggle->monoNs;

  {
    SCOPED_TRACE("the flying side's aircraft is followed, the other way after the swap");
    const auto serverEased = serverTrace.SetData(kDefinitionLatitude);
    const auto clientEased = clientTrace.SetData(kDefinitionLatitude);
    EXPECT_EQ(CountBetween(serverEased, 0, swapNs), 0u);
    EXPECT_GT(CountBetween(clientEased, 0, swapNs), 60u);
    EXPECT_GT(CountBetween(serverEased, swapNs + kHalfSecondNs, INT64_MAX), 60u);
    EXPECT_EQ(CountBetween(clientEased, swapNs + kHalfSecondNs, INT64_MAX), 0u);
    EXPECT_EQ(Values(serverTrace.Writes("MP_CONN", By::kModule)), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(Values(clientTrace.Writes("MP_CONN", By::kModule)), (std::vector<double>{1.0, 0.0}));
  }
  {
    SCOPED_TRACE("a variable of each channel goes both ways");
    EXPECT_EQ(Values(clientTrace.Writes("QV_Rel", By::kModule)), std::vector<double>{3.0});
    EXPECT_EQ(Values(serverTrace.Writes("QV_Rel", By::kModule)), std::vector<double>{4.0});
    EXPECT_EQ(Values(clientTrace.Writes("QV_Fctl", By::kModule)), std::vector<double>{2.0});
    EXPECT_EQ(Values(serverTrace.Writes("QV_Fctl", By::kModule)), std::vector<double>{8.0});
    EXPECT_EQ(CountLines(LogLines(kClient), "LvarsSet: QV_Rel Value: 3"), 1u);
    EXPECT_EQ(CountLines(LogLines(kServer), "LvarsSet: QV_Rel Value: 4"), 1u);
  }
  {
    SCOPED_TRACE("the following server's key event is replayed on the flying client");
    const auto replayed = clientTrace.KeyEvents(By::kModule);
    EXPECT_EQ(
        std::count_if(replayed.begin(), replayed.end(),
                      [](const auto& k) { return k.body.id == kRelayedKey && k.body.data == 3u; }),
        1);
    EXPECT_EQ(CountLines(LogLines(kClient), "SimEvent: 65602 Value: 3"), 1u);
  }

  // Measured once the follower's easing has settled (under 2 s), up to the swap.
  const auto followed = clientTrace.SetData(kDefinitionLatitude);
  followMetres_ = followed.empty()
                      ? -1.0
                      : WorstFollowMetres(serverTrace, clientTrace,
                                          followed.front().monoNs + 5'000'000'000, swapNs);
  ExpectShutdownHandshake(LogLines(kServer), "server");
  ExpectShutdownHandshake(LogLines(kClient), "client");
  ExpectWholeLines(Folder(kServer) + "/SharedDetails.log", "server log");
  ExpectWholeLines(Folder(kClient) + "/SharedDetails.log", "client log");
}

}  // namespace e2e
