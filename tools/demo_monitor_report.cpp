#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>

#include "demo_monitor.h"
#include "demo_monitor_trace.h"

namespace {

namespace fs = std::filesystem;
using trace::Record;

constexpr double kNsPerSecond = 1e9;
constexpr double kMetresPerDegree = 6371000.0 * M_PI / 180.0;
// A change that has not arrived within this time is taken as not sent (its
// category rule held it back), not as a slow one.
constexpr std::int64_t kMatchWindowNs = 2'000'000'000;

struct Sample {
  std::int64_t monoNs;
  trace::Aircraft aircraft;
};

std::vector<Sample> Samples(const std::vector<Record>& records) {
  std::vector<Sample> samples;
  for (const auto& r : records) {
    if (const auto* a = std::get_if<trace::Aircraft>(&r.body)) samples.push_back({r.monoNs, *a});
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

struct Delay {
  std::int64_t originNs;
  double milliseconds;
  std::string name;
};

// For each change the origin's cockpit (script) made to a shared variable,
// the time until the peer's module wrote the same value.
std::vector<Delay> Delays(const std::vector<Record>& origin, const std::vector<Record>& peer,
                          const std::set<std::string>& shared) {
  std::vector<Delay> delays;
  for (const auto& o : origin) {
    const auto* change = std::get_if<trace::LvarWrite>(&o.body);
    if (change == nullptr || change->by != trace::By::kScript || !shared.count(change->name)) {
      continue;
    }
    // Values travel as single precision.
    const double sent = static_cast<float>(change->value);
    for (const auto& p : peer) {
      if (p.monoNs < o.monoNs) continue;
      if (p.monoNs > o.monoNs + kMatchWindowNs) break;
      const auto* applied = std::get_if<trace::LvarWrite>(&p.body);
      if (applied != nullptr && applied->by == trace::By::kModule &&
          applied->name == change->name && applied->value == sent) {
        delays.push_back({o.monoNs, (p.monoNs - o.monoNs) / 1e6, change->name});
        break;
      }
    }
  }
  return delays;
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

std::int64_t FirstNs(const std::vector<Record>& records) {
  return records.empty() ? 0 : records.front().monoNs;
}

void WriteTrack(const fs::path& path, const std::vector<Sample>& samples, std::int64_t startNs,
                const trace::Aircraft& origin) {
  std::ofstream out(path);
  out << "# seconds east_km north_km altitude_ft\n";
  const double cosLatitude = std::cos(origin.lat * M_PI / 180.0);
  for (const auto& s : samples) {
    out << (s.monoNs - startNs) / kNsPerSecond << ' '
        << (s.aircraft.lon - origin.lon) * kMetresPerDegree * cosLatitude / 1000.0 << ' '
        << (s.aircraft.lat - origin.lat) * kMetresPerDegree / 1000.0 << ' ' << s.aircraft.alt
        << '\n';
  }
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

}  // namespace

int RunReport(const std::string& hostTrace, const std::string& guestTrace,
              const std::string& lvarsFile, const std::string& outputFolder) {
  const auto host = trace::ReadTraceFile(hostTrace);
  const auto guest = trace::ReadTraceFile(guestTrace);
  const auto hostSamples = Samples(host);
  const auto guestSamples = Samples(guest);
  if (hostSamples.empty() || guestSamples.empty()) {
    std::cerr << "demo_monitor: a trace has no aircraft samples\n";
    return 1;
  }
  const fs::path out(outputFolder);
  fs::create_directories(out);
  const std::int64_t startNs = std::min(FirstNs(host), FirstNs(guest));

  WriteTrack(out / "track_host.dat", hostSamples, startNs, hostSamples.front().aircraft);
  WriteTrack(out / "track_guest.dat", guestSamples, startNs, hostSamples.front().aircraft);

  std::vector<double> distances;
  {
    std::ofstream file(out / "distance.dat");
    file << "# seconds distance_m\n";
    for (const auto& g : guestSamples) {
      if (g.monoNs < hostSamples.front().monoNs || g.monoNs > hostSamples.back().monoNs) continue;
      const double d = trace::DistanceMetres(g.aircraft, Nearest(hostSamples, g.monoNs).aircraft);
      distances.push_back(d);
      file << (g.monoNs - startNs) / kNsPerSecond << ' ' << d << '\n';
    }
  }

  const auto names = trace::ReadTableNames(lvarsFile);
  const std::set<std::string> shared(names.begin(), names.end());
  const auto hostToGuest = Delays(host, guest, shared);
  const auto guestToHost = Delays(guest, host, shared);
  std::vector<double> allDelays;
  for (const auto* list : {&hostToGuest, &guestToHost}) {
    const bool fromHost = list == &hostToGuest;
    std::ofstream file(out / (fromHost ? "delay_host_to_guest.dat" : "delay_guest_to_host.dat"));
    file << "# seconds delay_ms name\n";
    for (const auto& d : *list) {
      file << (d.originNs - startNs) / kNsPerSecond << ' ' << d.milliseconds << ' ' << d.name
           << '\n';
      allDelays.push_back(d.milliseconds);
    }
  }

  const auto swaps = Swaps(host);
  {
    std::ofstream file(out / "swaps.gp");
    for (const auto ns : swaps) {
      file << "set arrow from " << (ns - startNs) / kNsPerSecond << ", graph 0 to "
           << (ns - startNs) / kNsPerSecond
           << ", graph 1 nohead dashtype 2 linecolor rgb 'gray40'\n";
    }
  }

  std::ofstream report(out / "report.md");
  report << std::fixed << std::setprecision(1);
  report << "# Shared flight report\n\n"
         << "Two simhost instances in two network namespaces: the host (server role) flies "
            "first, the guest (client role) follows";
  if (!swaps.empty()) {
    report << "; who flies swapped at";
    for (const auto ns : swaps) report << ' ' << (ns - startNs) / kNsPerSecond << " s";
  }
  report << ".\n\n"
         << "| | |\n|---|---|\n"
         << "| flight length | " << (hostSamples.back().monoNs - startNs) / kNsPerSecond << " s |\n"
         << "| aircraft samples host / guest | " << hostSamples.size() << " / "
         << guestSamples.size() << " |\n"
         << "| distance between the aircraft: median / 95 % / max | " << Percentile(distances, 0.5)
         << " / " << Percentile(distances, 0.95) << " / " << Percentile(distances, 1.0) << " m |\n"
         << "| shared-variable changes that arrived host→guest / guest→host | "
         << hostToGuest.size() << " / " << guestToHost.size() << " |\n"
         << "| delay of a change: median / max | " << Percentile(allDelays, 0.5) << " / "
         << Percentile(allDelays, 1.0) << " ms |\n\n"
         << "## Both tracks\n\n![tracks](track.png)\n\n"
         << "## Altitudes\n\n![altitude](altitude.png)\n\n"
         << "## Distance between the two aircraft\n\n![distance](distance.png)\n\n"
         << "## Delay of shared-variable changes\n\n![delay](delay.png)\n\n"
         << "| from | variable | delay (ms) |\n|---|---|---|\n";
  for (const auto* list : {&hostToGuest, &guestToHost}) {
    for (const auto& d : *list) {
      report << "| " << (list == &hostToGuest ? "host" : "guest") << " | " << d.name << " | "
             << d.milliseconds << " |\n";
    }
  }
  return 0;
}
