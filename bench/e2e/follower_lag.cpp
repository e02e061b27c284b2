#include "follower_lag.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "bench_module.h"
#include "common/module_state.h"
#include "net/receive_messages.h"
#include "net/wire_records.h"
#include "standin.h"

namespace e2e_bench {

namespace {

constexpr double kFeetPerSecondPerKnot = 1.687809857;
constexpr std::int64_t kLagSearchNs = 3'000'000'000;

}  // namespace

double AngleDifference(double a, double b) { return std::remainder(a - b, 360.0); }

namespace {

// The leader at `monoNs`, between its two samples around it.
trace::Aircraft LeaderAt(const std::vector<AircraftSample>& leader, std::int64_t monoNs) {
  auto after =
      std::lower_bound(leader.begin(), leader.end(), monoNs,
                       [](const AircraftSample& s, std::int64_t ns) { return s.monoNs < ns; });
  if (after == leader.begin()) return leader.front().aircraft;
  if (after == leader.end()) return leader.back().aircraft;
  const auto before = std::prev(after);
  const double f = static_cast<double>(monoNs - before->monoNs) /
                   static_cast<double>(after->monoNs - before->monoNs);
  trace::Aircraft a = before->aircraft;
  a.lat += f * (after->aircraft.lat - a.lat);
  a.lon += f * (after->aircraft.lon - a.lon);
  a.alt += f * (after->aircraft.alt - a.alt);
  a.heading += f * AngleDifference(after->aircraft.heading, a.heading);
  a.pitch += f * (after->aircraft.pitch - a.pitch);
  a.bank += f * (after->aircraft.bank - a.bank);
  return a;
}

std::int64_t offlineNowNs = 0;

AircraftStateRecord RecordOf(const trace::Aircraft& a) {
  AircraftStateRecord record;
  record.latitude = a.lat;
  record.longitude = a.lon;
  record.heading = a.heading;
  record.pitch = a.pitch;
  record.bank = a.bank;
  record.velocityBodyZ = a.ias * kFeetPerSecondPerKnot;
  record.velocityBodyY = a.vs;
  record.altitude = a.alt;
  record.verticalSpeed = a.vs;
  record.airspeed = a.ias;
  return record;
}

trace::Aircraft StandinAircraft() {
  trace::Aircraft a;
  a.lat = standin::AircraftVariable("PLANE LATITUDE");
  a.lon = standin::AircraftVariable("PLANE LONGITUDE");
  a.alt = standin::AircraftVariable("PLANE ALTITUDE");
  a.heading = standin::AircraftVariable("PLANE HEADING DEGREES TRUE");
  a.pitch = standin::AircraftVariable("PLANE PITCH DEGREES");
  a.bank = standin::AircraftVariable("PLANE BANK DEGREES");
  a.ias = standin::AircraftVariable("AIRSPEED INDICATED");
  return a;
}

}  // namespace

LagSeries MeasureLag(const std::vector<AircraftSample>& leader,
                     const std::vector<AircraftSample>& follower, std::int64_t fromNs,
                     std::int64_t toNs, std::int64_t originNs) {
  LagSeries lag;
  if (leader.size() < 2) return lag;
  for (const AircraftSample& f : follower) {
    if (f.monoNs < fromNs || f.monoNs > toNs) continue;
    lag.seconds.push_back(static_cast<double>(f.monoNs - originNs) / 1e9);
    const trace::Aircraft l = LeaderAt(leader, f.monoNs);
    lag.distance.push_back(trace::DistanceMetres(f.aircraft, l));
    lag.heading.push_back(AngleDifference(f.aircraft.heading, l.heading));
    lag.pitch.push_back(f.aircraft.pitch - l.pitch);
    lag.bank.push_back(f.aircraft.bank - l.bank);
    lag.altitude.push_back(f.aircraft.alt - l.alt);
    // Where along its last few seconds the leader came nearest to the
    // follower's position now.
    double nearest = std::numeric_limits<double>::infinity();
    std::int64_t nearestNs = f.monoNs;
    for (const AircraftSample& l : leader) {
      if (l.monoNs < f.monoNs - kLagSearchNs || l.monoNs > f.monoNs) continue;
      const double d = trace::DistanceMetres(f.aircraft, l.aircraft);
      if (d < nearest) {
        nearest = d;
        nearestNs = l.monoNs;
      }
    }
    lag.timeLag.push_back(static_cast<double>(f.monoNs - nearestNs) / 1e9);
  }
  return lag;
}

std::vector<AircraftSample> EaseOffline(const std::vector<AircraftSample>& leader,
                                        bool closeFollow) {
  std::vector<AircraftSample> follower;
  if (leader.empty()) return follower;
  const BenchDocuments documents;
  const ModuleSession session;
  simThread.followTrack = FollowTrack{};
  simThread.followTrack.clock = [] { return offlineNowNs; };
  Store(roleSetup.closeFollow, closeFollow);
  Store(simThread.sharedState->vars->value[slot::kMpConn], 1.0);
  Store(roleState.isFollower, 1);
  ReceiveLimits limits;
  for (std::size_t k = 1; k < leader.size(); ++k) {
    offlineNowNs = leader[k].monoNs;
    const StateBytes bytes = EncodeState(RecordOf(leader[k].aircraft));
    WalkDatagram(bytes.data(), bytes.size(), limits);
    standin::DeliverMessages();
    standin::AdvanceAircraft(static_cast<double>(leader[k].monoNs - leader[k - 1].monoNs) / 1e9);
    follower.push_back({leader[k].monoNs, StandinAircraft()});
  }
  Store(roleSetup.closeFollow, false);
  simThread.followTrack = FollowTrack{};
  return follower;
}

}  // namespace e2e_bench
