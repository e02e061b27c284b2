#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "demo_monitor.h"
#include "demo_monitor_match.h"
#include "demo_monitor_trace.h"

namespace {

namespace fs = std::filesystem;
using trace::Record;

constexpr double kMetresPerDegree = 6371000.0 * M_PI / 180.0;

// Every time in the report is the host simulator's script time: seconds
// since that simhost started, the clock its script and the status line use.
class HostClock {
 public:
  explicit HostClock(const std::vector<Record>& host)
      : zeroNs_(host.empty() ? 0 : host.front().monoNs - std::llround(host.front().t * 1e9)) {}
  double Seconds(std::int64_t monoNs) const { return (monoNs - zeroNs_) / 1e9; }

 private:
  std::int64_t zeroNs_;
};

struct Sample {
  std::int64_t monoNs;
  trace::Aircraft aircraft;
  bool leading;  // the side flew (its "MP_CONN" was 0) when this sample was taken
};

std::vector<Sample> Samples(const std::vector<Record>& records) {
  std::vector<Sample> samples;
  double conn = -1.0;
  for (const auto& r : records) {
    if (const auto* w = std::get_if<trace::LvarWrite>(&r.body); w && w->name == "MP_CONN") {
      conn = w->value;
    } else if (const auto* a = std::get_if<trace::Aircraft>(&r.body)) {
      samples.push_back({r.monoNs, *a, conn == 0.0});
    }
  }
  return samples;
}

const Sample& Nearest(const std::vector<Sample>& samples, std::int64_t monoNs) {
  auto it = std::lower_bound(samples.begin(), samples.end(), monoNs,
                             [](const Sample& s, std::int64_t ns) { return s.monoNs < ns; });
  if (it == samples.end()) return samples.back();
  if (it != samples.begin() && monoNs - std::prev(it)->monoNs < it->monoNs - monoNs) --it;
  return *it;
}

// Moments at which the host's "MP_CONN" changed: the swaps of who flies.
std::vector<std::int64_t> Swaps(const std::vector<Record>& host) {
  std::vector<std::int64_t> swaps;
  double last = -1.0;
  for (const auto& r : host) {
    const auto* w = std::get_if<trace::LvarWrite>(&r.body);
    if (w == nullptr || w->by != trace::By::kModule || w->name != "MP_CONN") continue;
    if (last >= 0.0 && w->value != last) swaps.push_back(r.monoNs);
    last = w->value;
  }
  return swaps;
}

// East and north in km from the host's starting point.
struct MapPoint {
  double east, north;
};
MapPoint OnMap(const trace::Aircraft& a, const trace::Aircraft& origin) {
  const double cosLatitude = std::cos(origin.lat * M_PI / 180.0);
  return {(a.lon - origin.lon) * kMetresPerDegree * cosLatitude / 1000.0,
          (a.lat - origin.lat) * kMetresPerDegree / 1000.0};
}

void WriteTrack(const fs::path& path, const std::vector<Sample>& samples, const HostClock& clock,
                const trace::Aircraft& origin) {
  std::ofstream out(path);
  out << "# seconds east_km north_km altitude_ft leading\n";
  for (const auto& s : samples) {
    const MapPoint p = OnMap(s.aircraft, origin);
    out << clock.Seconds(s.monoNs) << ' ' << p.east << ' ' << p.north << ' ' << s.aircraft.alt
        << ' ' << (s.leading ? 1 : 0) << '\n';
  }
}

// The points to label on the map: start (host only, both start there), each
// swap and the end.
void WriteTrackMarks(const fs::path& path, const std::vector<Sample>& samples,
                     const std::vector<std::int64_t>& swaps, const HostClock& clock,
                     const trace::Aircraft& origin, bool withStart) {
  std::ofstream out(path);
  out << std::fixed << std::setprecision(3) << "# east_km north_km label\n";
  const auto mark = [&](const Sample& s, const char* label) {
    const MapPoint p = OnMap(s.aircraft, origin);
    char text[64];
    std::snprintf(text, sizeof text, "%s %.0f s", label, clock.Seconds(s.monoNs));
    out << p.east << ' ' << p.north << " \"" << text << "\"\n";
  };
  if (withStart) mark(samples.front(), "start (both)");
  for (const auto ns : swaps) mark(Nearest(samples, ns), "swap");
  mark(samples.back(), "end");
}

// Dashed lines at the swaps, for the plots over time.
void WriteSwaps(const fs::path& path, const std::vector<std::int64_t>& swaps,
                const HostClock& clock) {
  std::ofstream file(path);
  for (const auto ns : swaps) {
    file << "set arrow from " << clock.Seconds(ns) << ", graph 0 to " << clock.Seconds(ns)
         << ", graph 1 nohead dashtype 2 linewidth 1.5 linecolor rgb 'gray30'\n"
         << "set label 'swap' at " << clock.Seconds(ns) << ", graph 0.97 left offset 0.5,0\n";
  }
}

struct Distances {
  std::vector<double> metres;
  double minimum = 0.0;
  double minimumSeconds = 0.0;
};

// The distance at each guest sample to the host's nearest in time, while both
// fly, and its minimum labelled.
Distances WriteDistances(const fs::path& out, const std::vector<Sample>& host,
                         const std::vector<Sample>& guest, const HostClock& clock) {
  Distances distances;
  std::ofstream file(out / "distance.dat");
  file << "# seconds distance_m\n";
  for (const auto& g : guest) {
    if (g.monoNs < host.front().monoNs || g.monoNs > host.back().monoNs) continue;
    const double d = trace::DistanceMetres(g.aircraft, Nearest(host, g.monoNs).aircraft);
    if (distances.metres.empty() || d < distances.minimum) {
      distances.minimum = d;
      distances.minimumSeconds = clock.Seconds(g.monoNs);
    }
    distances.metres.push_back(d);
    file << clock.Seconds(g.monoNs) << ' ' << d << '\n';
  }
  std::ofstream mark(out / "distance_min.dat");
  mark << "# seconds distance_m label\n"
       << distances.minimumSeconds << ' ' << distances.minimum << " \"minimum "
       << std::lround(distances.minimum) << " m\"\n";
  return distances;
}

// How the module sends a change of each category: values of no category and
// momentary buttons on the reliable channel, the others as datagrams.
const char* Channel(const std::string& category) {
  return category.empty() || category == "MBTN" ? "reliable" : "datagram";
}

// One row of the delay plot per variable that had a change arrive, in table
// order, named with its category and channel; returns each name's row.
std::map<std::string, int> WriteDelayRows(
    const fs::path& path, const std::vector<trace::TableEntry>& table,
    std::initializer_list<const std::vector<trace::Arrival>*> arrivals) {
  std::set<std::string> arrived;
  for (const auto* list : arrivals) {
    for (const auto& a : *list) arrived.insert(a.name);
  }
  std::map<std::string, int> rows;
  std::ofstream file(path);
  file << "set ytics (";
  for (const auto& entry : table) {
    if (!arrived.count(entry.name)) continue;
    const int row = static_cast<int>(rows.size());
    rows[entry.name] = row;
    file << (row == 0 ? "" : ", ") << "\"" << entry.name << "  "
         << (entry.category.empty() ? "none" : entry.category) << ", " << Channel(entry.category)
         << "\" " << row;
  }
  file << ")\nset yrange [" << static_cast<int>(rows.size()) - 0.5 << ":-0.5]\n";
  return rows;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

int CountAppliedValues(const std::string& logPath) {
  std::ifstream log(logPath);
  int count = 0;
  for (std::string line; std::getline(log, line);) count += trace::AppliedValuesIn(line);
  return count;
}

int CountCorrectedValues(const std::string& logPath) {
  std::ifstream log(logPath);
  int count = 0;
  for (std::string line; std::getline(log, line);) count += trace::CorrectedValues(line);
  return count;
}

// Whether the module of that log eased with SharedConfig.cfg's option
// "close follow" (it says so once at role start).
bool ClosesUp(const std::string& logPath) {
  std::ifstream log(logPath);
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("Close follow:", 0) == 0) return true;
  }
  return false;
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// Writes the table rows sorted by their time and forgets them.
void WriteInTimeOrder(std::ostream& out, std::vector<std::pair<std::int64_t, std::string>>& rows) {
  std::sort(rows.begin(), rows.end());
  for (const auto& row : rows) out << row.second;
  rows.clear();
}

}  // namespace

int RunReport(const Sides& traces, const Sides& logs, const std::string& lvarsFile,
              const std::string& outputFolder) {
  const auto host = trace::ReadTraceFile(traces.host);
  const auto guest = trace::ReadTraceFile(traces.guest);
  const auto hostSamples = Samples(host);
  const auto guestSamples = Samples(guest);
  if (hostSamples.empty() || guestSamples.empty()) {
    std::cerr << "demo_monitor: a trace has no aircraft samples\n";
    return 1;
  }
  const fs::path out(outputFolder);
  fs::create_directories(out);
  const HostClock clock(host);
  const auto swaps = Swaps(host);
  const trace::Aircraft& origin = hostSamples.front().aircraft;

  WriteTrack(out / "track_host.dat", hostSamples, clock, origin);
  WriteTrack(out / "track_guest.dat", guestSamples, clock, origin);
  WriteTrackMarks(out / "marks_host.dat", hostSamples, swaps, clock, origin, true);
  WriteTrackMarks(out / "marks_guest.dat", guestSamples, swaps, clock, origin, false);
  WriteSwaps(out / "swaps.gp", swaps, clock);

  const Distances distances = WriteDistances(out, hostSamples, guestSamples, clock);

  // Delays, one row of the plot per variable that had a change arrive.
  const auto table = trace::ReadTable(lvarsFile);
  std::set<std::string> shared;
  for (const auto& entry : table) shared.insert(entry.name);
  const auto hostToGuest = trace::Arrivals(host, guest, shared);
  const auto guestToHost = trace::Arrivals(guest, host, shared);
  const auto rows = WriteDelayRows(out / "delay_rows.gp", table, {&hostToGuest, &guestToHost});
  std::map<std::string, std::string> categories;
  for (const auto& entry : table) categories[entry.name] = entry.category;
  std::vector<double> allDelays;
  for (const auto* list : {&hostToGuest, &guestToHost}) {
    std::ofstream file(
        out / (list == &hostToGuest ? "delay_host_to_guest.dat" : "delay_guest_to_host.dat"));
    file << "# row delay_ms seconds\n";
    for (const auto& a : *list) {
      const double ms = (a.arrivalNs - a.changeNs) / 1e6;
      file << rows.at(a.name) << ' ' << ms << ' ' << clock.Seconds(a.changeNs) << '\n';
      allDelays.push_back(ms);
    }
  }

  const auto hostKeys = trace::KeyRelays(host, guest);
  const auto guestKeys = trace::KeyRelays(guest, host);
  int raised = 0, replayed = 0, suppressed = 0;
  for (const auto* list : {&hostKeys, &guestKeys}) {
    for (const auto& k : *list) {
      ++raised;
      replayed += k.replayedNs.has_value();
      suppressed += k.replayedNs && !k.echoed;
    }
  }

  std::ofstream report(out / "report.md");
  report << std::fixed << std::setprecision(1);
  report << "# Shared flight report\n\n"
         << "Two simhost instances in two network namespaces: the host (server role) flies "
            "first, the guest (client role) follows";
  if (!swaps.empty()) {
    report << "; who flies swapped at";
    for (const auto ns : swaps) report << ' ' << clock.Seconds(ns) << " s";
  }
  const bool hostCloses = ClosesUp(logs.host);
  const bool guestCloses = ClosesUp(logs.guest);
  if (hostCloses && guestCloses) {
    report << ". Both ran with the option \"close follow\" in SharedConfig.cfg: the following "
              "aircraft flies where the other one is now, not 0.7 s behind it";
  }
  report << ". Times are the host simulator's script time.\n\n"
         << "| | |\n|---|---|\n"
         << "| option \"close follow\" host / guest | " << OnOff(hostCloses) << " / "
         << OnOff(guestCloses) << " |\n"
         << "| flight length | " << clock.Seconds(hostSamples.back().monoNs) << " s |\n"
         << "| aircraft samples host / guest | " << hostSamples.size() << " / "
         << guestSamples.size() << " |\n"
         << "| distance between the aircraft: minimum (at " << distances.minimumSeconds
         << " s) / median / 95 % / max | " << distances.minimum << " / "
         << Percentile(distances.metres, 0.5) << " / " << Percentile(distances.metres, 0.95)
         << " / " << Percentile(distances.metres, 1.0) << " m |\n"
         << "| distance at the end | " << (distances.metres.empty() ? 0.0 : distances.metres.back())
         << " m |\n"
         << "| shared-variable values applied from the peer (\"LvarsSet\" in its log) host / "
            "guest | "
         << CountAppliedValues(logs.host) << " / " << CountAppliedValues(logs.guest) << " |\n"
         << "| of them, values that a snapshot or refresh of the peer corrected (\"Corrected "
            "from peer\") host / guest | "
         << CountCorrectedValues(logs.host) << " / " << CountCorrectedValues(logs.guest) << " |\n"
         << "| pilots' changes that arrived host→guest / guest→host | " << hostToGuest.size()
         << " / " << guestToHost.size() << " |\n"
         << "| delay of a change: median / max | " << Percentile(allDelays, 0.5) << " / "
         << Percentile(allDelays, 1.0) << " ms |\n"
         << "| pilots' key events: raised / replayed on the peer / echo suppressed | " << raised
         << " / " << replayed << " / " << suppressed << " |\n\n"
         << "## Both tracks\n\n![tracks](track.png)\n\n"
         << "## Altitudes\n\n![altitude](altitude.png)\n\n"
         << "## Distance between the two aircraft\n\n![distance](distance.png)\n\n"
         << "## Delay of shared-variable changes\n\n![delay](delay.png)\n\n"
         << "| time (s) | from | variable | category | channel | delay (ms) |\n"
         << "|---|---|---|---|---|---|\n";
  // The rows of both directions, in time order.
  std::vector<std::pair<std::int64_t, std::string>> rowsByTime;
  for (const auto* list : {&hostToGuest, &guestToHost}) {
    for (const auto& a : *list) {
      const std::string& category = categories[a.name];
      std::ostringstream row;
      row << std::fixed << std::setprecision(1) << "| " << clock.Seconds(a.changeNs) << " | "
          << (list == &hostToGuest ? "host" : "guest") << " | " << a.name << " | "
          << (category.empty() ? "none" : category) << " | " << Channel(category) << " | "
          << (a.arrivalNs - a.changeNs) / 1e6 << " |\n";
      rowsByTime.emplace_back(a.changeNs, row.str());
    }
  }
  WriteInTimeOrder(report, rowsByTime);
  report << "\n## Relayed key events\n\n"
         << "A key event a pilot raises travels to the peer, which performs it; the peer "
            "does not send that replay back (the echo is suppressed).\n\n"
         << "| time (s) | from | event | data | replayed on the peer after (ms) | echo |\n"
         << "|---|---|---|---|---|---|\n";
  for (const auto* list : {&hostKeys, &guestKeys}) {
    for (const auto& k : *list) {
      std::ostringstream row;
      row << std::fixed << std::setprecision(1) << "| " << clock.Seconds(k.raisedNs) << " | "
          << (list == &hostKeys ? "host" : "guest") << " | " << Hex(k.id) << " | " << k.data
          << " | ";
      if (k.replayedNs) {
        row << (*k.replayedNs - k.raisedNs) / 1e6 << " | "
            << (k.echoed ? "came back" : "suppressed") << " |\n";
      } else {
        row << "not replayed | - |\n";
      }
      rowsByTime.emplace_back(k.raisedNs, row.str());
    }
  }
  WriteInTimeOrder(report, rowsByTime);
  return 0;
}
