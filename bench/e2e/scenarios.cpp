#include "scenarios.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "follower_lag.h"
#include "log_watch.h"
#include "net/wire_records.h"
#include "packet_capture.h"
#include "stats.h"
#include "thread_cpu.h"
#include "udt_cleanup.h"

namespace e2e_bench {
namespace fs = std::filesystem;

namespace {

using Records = std::vector<trace::Record>;
using Clock = std::chrono::steady_clock;

constexpr double kWriteSpacing = 0.025;  // between two writes of one variable
constexpr double kFirstWrite = 5.0;      // the client is connected by then
constexpr std::int64_t kSendPauseNs = 5'000'000;
// The distance through a swap: from a second before it to ten after.
constexpr double kSwapWindowBefore = 1.0;
constexpr double kSwapWindowAfter = 10.0;
const char* const kChannels[] = {"reliable", "datagram"};
const char* const kChannelVariables[] = {"BENCH_R", "BENCH_D"};

// Counters of what a side sends on the link: its datagram channel (the
// peer's port 5001: the aircraft state and variable datagrams) and the rest
// (the reliable channel, UDT's data and its acknowledgements).
constexpr const char* kByteCounters = R"(table inet msbytes {
  chain out {
    type filter hook output priority 0;
    oifname "e2e0" udp dport 5001 counter
    oifname "e2e0" udp dport != 5001 counter
  }
}
)";

void LoadByteCounters(const Flight& flight, int side, const std::string& folder) {
  const std::string file =
      (fs::path(folder) / ("counters-" + std::to_string(side) + ".nft")).string();
  std::ofstream(file) << kByteCounters;
  const auto result =
      e2e::RunCommand({"ip", "netns", "exec", flight.Namespace(side), "nft", "-f", file});
  if (result.exitCode != 0) throw std::runtime_error("nft: " + result.output);
}

// The two counters' bytes, datagram channel first.
std::pair<double, double> ReadByteCounters(const Flight& flight, int side) {
  const auto result = e2e::RunCommand(
      {"ip", "netns", "exec", flight.Namespace(side), "nft", "list", "table", "inet", "msbytes"});
  std::vector<double> bytes;
  std::istringstream in(result.output);
  for (std::string word; in >> word;) {
    if (word == "bytes") {
      double n = 0;
      in >> n;
      bytes.push_back(n);
    }
  }
  if (bytes.size() != 2) throw std::runtime_error("nft counters: " + result.output);
  return {bytes[0], bytes[1]};
}

std::string RunFolder(const SuiteOptions& options, const std::string& name) {
  const fs::path folder = fs::path(options.output) / "runs" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

double Ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

// Times (CLOCK_MONOTONIC) of the writes of `name` by `by`, by value.
std::vector<std::pair<double, std::int64_t>> Writes(const Records& records, const std::string& name,
                                                    trace::By by) {
  std::vector<std::pair<double, std::int64_t>> writes;
  for (const auto& r : records) {
    const auto* w = std::get_if<trace::LvarWrite>(&r.body);
    if (w != nullptr && w->name == name && w->by == by) writes.emplace_back(w->value, r.monoNs);
  }
  return writes;
}

// Seconds from the simulator's start to the module's first "MP_STS" 1.
std::optional<double> ConnectedAfter(const Records& records) {
  for (const auto& r : records) {
    const auto* w = std::get_if<trace::LvarWrite>(&r.body);
    if (w != nullptr && w->name == "MP_STS" && w->value == 1.0 && w->by == trace::By::kModule) {
      return r.t;
    }
  }
  return std::nullopt;
}

std::vector<AircraftSample> Aircraft(const Records& records) {
  std::vector<AircraftSample> samples;
  for (const auto& r : records) {
    if (const auto* a = std::get_if<trace::Aircraft>(&r.body)) samples.push_back({r.monoNs, *a});
  }
  return samples;
}

std::optional<std::int64_t> FirstEasedNs(const Records& records) {
  for (const auto& r : records) {
    if (std::holds_alternative<trace::SetData>(r.body)) return r.monoNs;
  }
  return std::nullopt;
}

// Delay of each cockpit write of `name` on the server to the client module's
// write of the same value; writes that never arrived are counted apart.
nlohmann::json ChannelDelay(const Records& server, const Records& client, const std::string& name,
                            const std::string& histogramPath) {
  const auto sent = Writes(server, name, trace::By::kScript);
  const auto applied = Writes(client, name, trace::By::kModule);
  std::vector<double> delays;
  std::size_t missing = 0;
  std::size_t overwritten = 0;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const auto [value, ns] = sent[i];
    const auto it = std::find_if(applied.begin(), applied.end(),
                                 [&](const auto& a) { return a.first == value && a.second >= ns; });
    if (it == applied.end()) {
      // A write followed by the next within a send pause may never be polled:
      // the simulator, held up, ran both in one late frame.
      const bool early = i + 1 < sent.size() && sent[i + 1].second - ns < kSendPauseNs;
      ++(early ? overwritten : missing);
    } else {
      delays.push_back(Ms(it->second - ns));
    }
  }
  WriteHistogram(histogramPath, delays, 0.25);
  nlohmann::json json = ToJson(Summarize(delays));
  json["unit"] = "ms";
  json["written"] = sent.size();
  json["overwritten_before_a_poll"] = overwritten;
  json["never_arrived"] = missing;
  return json;
}

nlohmann::json StateFigures(const PacketCapture& sent, const PacketCapture& received,
                            const std::string& histogramPath) {
  const auto& times = received.TimesNs();
  std::vector<double> gaps;
  for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(Ms(times[i] - times[i - 1]));
  WriteHistogram(histogramPath, gaps, 0.25);
  const Summary gap = Summarize(gaps);
  const double seconds = times.size() < 2 ? 0.0 : Ms(times.back() - times.front()) / 1000.0;
  const auto lost =
      static_cast<std::int64_t>(sent.TimesNs().size()) - static_cast<std::int64_t>(times.size());
  return {
      {"records_per_second", seconds > 0.0 ? static_cast<double>(times.size() - 1) / seconds : 0.0},
      {"interarrival_ms", ToJson(gap)},
      {"sent", sent.TimesNs().size()},
      {"received", times.size()},
      {"lost_on_link", lost},
      {"dropped_by_receiver_sockets", received.SocketDrops()},
      {"capture_errors", sent.Error() + received.Error()}};
}

// The figures of the sizes of `differences` (how far, either way), with the
// mean of their signs kept (which way, on the whole).
nlohmann::json DifferenceFigures(const std::vector<double>& differences, const char* unit) {
  std::vector<double> sizes;
  double sum = 0.0;
  for (double d : differences) {
    sizes.push_back(std::fabs(d));
    sum += d;
  }
  nlohmann::json json = ToJson(Summarize(sizes));
  json["mean_signed"] = differences.empty() ? 0.0 : sum / static_cast<double>(differences.size());
  json["unit"] = unit;
  return json;
}

nlohmann::json LagFigures(const LagSeries& lag) {
  nlohmann::json distance = ToJson(Summarize(lag.distance));
  distance["unit"] = "m";
  nlohmann::json time = ToJson(Summarize(lag.timeLag));
  time["unit"] = "s";
  return {{"distance", distance},
          {"time", time},
          {"heading_difference", DifferenceFigures(lag.heading, "degree")},
          {"pitch_difference", DifferenceFigures(lag.pitch, "degree")},
          {"bank_difference", DifferenceFigures(lag.bank, "degree")},
          {"altitude_difference", DifferenceFigures(lag.altitude, "ft")}};
}

void WriteLag(const std::string& path, const LagSeries& lag) {
  std::ofstream out(path, std::ios::trunc);
  for (std::size_t i = 0; i < lag.seconds.size(); ++i) {
    out << lag.seconds[i] << ' ' << lag.distance[i] << ' ' << lag.timeLag[i] << '\n';
  }
}

nlohmann::json FollowerLag(const Records& server, const Records& client,
                           const std::string& output) {
  const auto leader = Aircraft(server);
  const auto follower = Aircraft(client);
  const auto eased = FirstEasedNs(client);
  if (leader.empty() || follower.empty() || !eased) return {{"error", "no following in the run"}};
  // Measured once the easing has settled (time constants under 2 s), until
  // the first of the two simulators stops.
  const std::int64_t from = *eased + 5'000'000'000;
  const std::int64_t to = std::min(leader.back().monoNs, follower.back().monoNs) - 500'000'000;
  const LagSeries measured = MeasureLag(leader, follower, from, to, leader.front().monoNs);
  const LagSeries alone = MeasureLag(leader, EaseOffline(leader), from, to, leader.front().monoNs);
  WriteLag((fs::path(output) / "lag_measured.dat").string(), measured);
  WriteLag((fs::path(output) / "lag_easing_alone.dat").string(), alone);
  const Summary measuredTime = Summarize(measured.timeLag);
  const Summary aloneTime = Summarize(alone.timeLag);
  const Summary measuredDistance = Summarize(measured.distance);
  const Summary aloneDistance = Summarize(alone.distance);
  return {{"measured", LagFigures(measured)},
          {"easing_alone", LagFigures(alone)},
          {"added_by_implementation",
           {{"distance_p50_m", measuredDistance.p50 - aloneDistance.p50},
            {"time_p50_s", measuredTime.p50 - aloneTime.p50}}}};
}

std::string FlightScript(int writes, double firstWrite, double quitAt) {
  std::ostringstream script;
  script << StartRoleLines(kServer) << "2 fly 25 5 250 1500\n";
  for (int k = 1; k <= writes; ++k) {
    const double at = firstWrite + k * kWriteSpacing;
    script << at << " set " << kChannelVariables[0] << ' ' << k << '\n';
    script << at + kWriteSpacing / 2 << " set " << kChannelVariables[1] << ' ' << k << '\n';
  }
  script << quitAt << " quit\n";
  return script.str();
}

// The moment of the first write of `name` by the script.
std::optional<std::int64_t> ScriptWrite(const Records& records, const std::string& name) {
  const auto writes = Writes(records, name, trace::By::kScript);
  if (writes.empty()) return std::nullopt;
  return writes.front().second;
}

// The follower's lag in the turning climb, and the distance between the two
// aircraft through a swap of who flies, from one flight.
nlohmann::json FollowFigures(const Records& server, const Records& client, bool closeFollow,
                             const std::string& output, const std::string& name) {
  const auto first = Aircraft(server);
  const auto second = Aircraft(client);
  const auto eased = FirstEasedNs(client);
  const auto swap = ScriptWrite(server, "MP_TGL");
  if (first.empty() || second.empty() || !eased || !swap) {
    return {{"error", "no following or no swap in the run"}};
  }
  const std::int64_t origin = first.front().monoNs;
  const std::int64_t end = std::min(first.back().monoNs, second.back().monoNs) - 500'000'000;
  const LagSeries climb =
      MeasureLag(first, second, *eased + 5'000'000'000, *swap - 500'000'000, origin);
  const LagSeries alone = MeasureLag(first, EaseOffline(first, closeFollow), *eased + 5'000'000'000,
                                     *swap - 500'000'000, origin);
  // The whole flight for the plot; the figures from a second before the swap.
  const LagSeries whole = MeasureLag(first, second, *eased, end, origin);
  WriteLag((fs::path(output) / ("follow_" + name + ".dat")).string(), whole);
  std::vector<double> through;
  for (std::size_t i = 0; i < whole.seconds.size(); ++i) {
    const double since = whole.seconds[i] - static_cast<double>(*swap - origin) / 1e9;
    if (since >= -kSwapWindowBefore && since <= kSwapWindowAfter)
      through.push_back(whole.distance[i]);
  }
  nlohmann::json swapFigures = ToJson(Summarize(through));
  swapFigures["unit"] = "m";
  swapFigures["from_s"] = -kSwapWindowBefore;
  swapFigures["to_s"] = kSwapWindowAfter;
  return {{"close_follow", closeFollow},
          {"turning_climb", {{"measured", LagFigures(climb)}, {"easing_alone", LagFigures(alone)}}},
          {"distance_through_the_swap", swapFigures}};
}

}  // namespace

nlohmann::json RunFollow(const SuiteOptions& options, bool closeFollow) {
  const double swapAt = options.smoke ? 12.0 : 25.0;
  const double quitAt = swapAt + (options.smoke ? 6.0 : kSwapWindowAfter + 2.0);
  const std::string name = closeFollow ? "close_follow" : "without";
  Flight flight(options.programs, RunFolder(options, "follow-" + name), "BENCH_R\n",
                closeFollow ? "close follow\n" : "");
  // Both fly the same turning climb, so that the client, flying after the
  // swap, goes on as the server flew.
  const std::string climb = "2 fly 25 5 250 1500\n";
  std::ostringstream server;
  server << StartRoleLines(kServer) << climb << swapAt << " set MP_TGL 1\n" << quitAt << " quit\n";
  std::ostringstream client;
  client << StartRoleLines(kClient) << climb << quitAt - 0.5 << " quit\n";
  flight.StartBoth(server.str(), client.str(), quitAt + 10.0);
  const bool clean = flight.WaitForBoth(std::chrono::seconds(static_cast<int>(quitAt) + 30));
  nlohmann::json json = FollowFigures(flight.Trace(kServer), flight.Trace(kClient), closeFollow,
                                      options.output, name);
  json["clean_stop"] = clean;
  return json;
}

nlohmann::json RunFlight(const SuiteOptions& options) {
  const int writes = options.smoke ? 100 : 1100;
  const double firstWrite = kFirstWrite + options.startAllowance;
  const double quitAt = firstWrite + (writes + 1) * kWriteSpacing + 2.0;
  // The datagram variable comes first: a server's pass ends at the first
  // category-0 change it sends, and would leave a datagram change written in
  // the same frame after it for the next pass.
  Flight flight(options.programs, RunFolder(options, "flight"),
                std::string(kChannelVariables[1]) + ";BTN\n" + kChannelVariables[0] + "\n");
  const auto port = static_cast<std::uint16_t>(kBasePort + 1);
  PacketCapture sent(flight.Namespace(kServer), PacketCapture::Direction::kOutgoing, port,
                     kStateSize);
  PacketCapture received(flight.Namespace(kClient), PacketCapture::Direction::kIncoming, port,
                         kStateSize);
  flight.StartBoth(FlightScript(writes, firstWrite, quitAt),
                   StartRoleLines(kClient) + std::to_string(quitAt - 1.0) + " quit\n",
                   quitAt + 10.0);
  const bool clean = flight.WaitForBoth(std::chrono::seconds(static_cast<int>(quitAt) + 30));
  sent.Stop();
  received.Stop();
  const Records server = flight.Trace(kServer);
  const Records client = flight.Trace(kClient);

  nlohmann::json json;
  json["clean_stop"] = clean;
  for (int c = 0; c < 2; ++c) {
    json["shared_variable_delay"][kChannels[c]] = ChannelDelay(
        server, client, kChannelVariables[c],
        (fs::path(options.output) / (std::string("delay_") + kChannels[c] + ".dat")).string());
  }
  json["aircraft_state"] =
      StateFigures(sent, received, (fs::path(options.output) / "state_interarrival.dat").string());
  json["follower_lag"] = FollowerLag(server, client, options.output);
  if (const auto connected = ConnectedAfter(client)) json["client_connected_after_s"] = *connected;
  return json;
}

nlohmann::json RunCpu(const SuiteOptions& options, int variables) {
  static const char* const kCategories[] = {"",      ";FCTL", ";MBTN",   ";FCU",
                                            ";FCUh", ";DISP", ";TERRWX", ";BTN"};
  std::string table;
  for (int i = 0; i < variables; ++i) {
    table += "BENCH_" + std::to_string(i) + kCategories[i % 8] + "\n";
  }
  const double warmUp = options.smoke ? 3.0 : 6.0;
  const double measure = options.smoke ? 4.0 : 60.0;
  const double quitAt = warmUp + measure + 3.0;
  const std::string folder = RunFolder(options, "cpu-" + std::to_string(variables));
  Flight flight(options.programs, folder, table);
  flight.StartBoth(
      StartRoleLines(kServer) + "2 fly 10 2 250 500\n" + std::to_string(quitAt) + " quit\n",
      StartRoleLines(kClient) + std::to_string(quitAt - 1.0) + " quit\n", quitAt + 10.0);
  std::this_thread::sleep_for(std::chrono::duration<double>(warmUp));
  const pid_t pids[] = {flight.Pid(kServer), flight.Pid(kClient)};
  std::map<pid_t, ThreadTime> before[2];
  for (int side : {kServer, kClient}) LoadByteCounters(flight, side, folder);
  for (int side : {kServer, kClient}) before[side] = ReadThreadTimes(pids[side]);
  const std::int64_t start = MonotonicNowNs();
  std::this_thread::sleep_for(std::chrono::duration<double>(measure));
  std::map<pid_t, ThreadTime> after[2];
  for (int side : {kServer, kClient}) after[side] = ReadThreadTimes(pids[side]);
  const std::int64_t wall = MonotonicNowNs() - start;
  std::pair<double, double> sent[2];
  for (int side : {kServer, kClient}) sent[side] = ReadByteCounters(flight, side);
  const bool clean = flight.WaitForBoth(std::chrono::seconds(static_cast<int>(quitAt) + 30));

  nlohmann::json json{{"shared_variables", variables},
                      {"seconds", static_cast<double>(wall) / 1e9},
                      {"clean_stop", clean}};
  const char* const names[] = {"server", "client"};
  for (int side : {kServer, kClient}) {
    const auto percent = CorePercentByKind(pids[side], before[side], after[side], wall);
    nlohmann::json threads = percent;
    threads["module"] = percent.at("send") + percent.at("receive");
    threads["unit"] = "percent of one core";
    json[names[side]] = threads;
    // At rest: the flying side's datagrams are its aircraft state; the
    // reliable channel carries the clock samples and digests, and the
    // acknowledgements of the peer's.
    const double seconds = static_cast<double>(wall) / 1e9;
    json[names[side]]["sent_bytes_per_s"] = {{"datagram", sent[side].first / seconds},
                                             {"reliable", sent[side].second / seconds}};
  }
  return json;
}

nlohmann::json RunStops(const SuiteOptions& options, int runs) {
  std::vector<double> handshake[2];
  std::vector<double> connected;
  int clean = 0;
  for (int run = 0; run < runs; ++run) {
    Flight flight(options.programs, RunFolder(options, "stop-" + std::to_string(run)), "BENCH_R\n");
    LogWatch logs[] = {LogWatch(flight.LogPath(kServer)), LogWatch(flight.LogPath(kClient))};
    flight.StartBoth(StartRoleLines(kServer) + "4.5 quit\n", StartRoleLines(kClient) + "3 quit\n",
                     15.0);
    clean += flight.WaitForBoth(std::chrono::seconds(40)) ? 1 : 0;
    for (int side : {kServer, kClient}) {
      logs[side].Stop();
      const auto kill = logs[side].FirstSeen("Thread close initiated");
      const auto done = logs[side].FirstSeen("Thread Close Process Completed");
      if (kill && done) handshake[side].push_back(Ms(*done - *kill));
    }
    if (const auto after = ConnectedAfter(flight.Trace(kClient))) connected.push_back(*after);
  }
  const std::vector<double> udt = TimeUdtCleanup(runs);
  std::ofstream out(fs::path(options.output) / "stop.dat", std::ios::trunc);
  for (int run = 0; run < runs; ++run) {
    const auto at = [&](const std::vector<double>& v) {
      return static_cast<std::size_t>(run) < v.size() ? std::to_string(v[run]) : "NaN";
    };
    out << run + 1 << ' ' << at(handshake[kServer]) << ' ' << at(handshake[kClient]) << ' '
        << at(udt) << '\n';
  }
  nlohmann::json json{{"runs", runs}, {"clean_stops", clean}};
  json["gauge_kill_to_completed_ms"] = {{"server", ToJson(Summarize(handshake[kServer]))},
                                        {"client", ToJson(Summarize(handshake[kClient]))}};
  json["udt_close_and_cleanup_alone_ms"] = ToJson(Summarize(udt));
  json["client_start_to_connected_s"] = ToJson(Summarize(connected));
  return json;
}

}  // namespace e2e_bench
