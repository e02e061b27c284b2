// The end-to-end suite's figures: percentiles, histograms, the follower's lag
// and the follower that the easing alone makes of a leader's trace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "follower_lag.h"
#include "stats.h"

namespace {

using e2e_bench::AircraftSample;

constexpr std::int64_t kFrameNs = 16'666'667;
constexpr double kMetresPerDegree = 111'320.0;

TEST(SuiteFigures, PercentilesByNearestRankOfUnsortedSamples) {
  std::vector<double> samples;
  for (int i = 100; i >= 1; --i) samples.push_back(i);
  const e2e_bench::Summary s = e2e_bench::Summarize(samples);
  EXPECT_EQ(s.count, 100u);
  EXPECT_EQ(s.p50, 50.0);
  EXPECT_EQ(s.p95, 95.0);
  EXPECT_EQ(s.p99, 99.0);
  EXPECT_EQ(s.max, 100.0);
  EXPECT_DOUBLE_EQ(s.mean, 50.5);
  const e2e_bench::Summary one = e2e_bench::Summarize({7.0});
  EXPECT_EQ(one.p50, 7.0);
  EXPECT_EQ(one.p99, 7.0);
  EXPECT_EQ(e2e_bench::Summarize({}).count, 0u);
}

TEST(SuiteFigures, HistogramPutsEverySampleInItsBin) {
  const auto path =
      std::filesystem::temp_directory_path() /
      ("suite-histogram-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  e2e_bench::WriteHistogram(path.string(), {0.1, 0.3, 0.3, 1.0}, 0.25);
  std::ifstream file(path);
  std::vector<int> counts;
  double from = 0, to = 0;
  int count = 0;
  while (file >> from >> to >> count) {
    EXPECT_DOUBLE_EQ(to - from, 0.25);
    counts.push_back(count);
  }
  std::filesystem::remove(path);
  EXPECT_EQ(counts, (std::vector<int>{1, 2, 0, 0, 1}));
}

// A leader flying north at `metresPerSecond` from 47 N 8 E, 3000 ft, one
// sample a frame from `startNs`.
std::vector<AircraftSample> NorthboundLeader(double metresPerSecond, double seconds,
                                             double latitudeOffset = 0.0) {
  std::vector<AircraftSample> samples;
  for (std::int64_t ns = 0; ns <= static_cast<std::int64_t>(seconds * 1e9); ns += kFrameNs) {
    AircraftSample s;
    s.monoNs = ns;
    s.aircraft.lat = 47.0 + latitudeOffset + metresPerSecond * (ns / 1e9) / kMetresPerDegree;
    s.aircraft.lon = 8.0;
    s.aircraft.alt = 3000.0;
    s.aircraft.ias = 250.0;
    samples.push_back(s);
  }
  return samples;
}

TEST(SuiteFigures, AFollowerHalfASecondBehindLagsHalfASecondAndItsDistance) {
  const auto leader = NorthboundLeader(100.0, 12.0);
  std::vector<AircraftSample> follower;
  for (const AircraftSample& l : leader) {
    AircraftSample f = l;
    f.monoNs = l.monoNs + 500'000'000;
    follower.push_back(f);
  }
  const e2e_bench::LagSeries lag =
      e2e_bench::MeasureLag(leader, follower, 2'000'000'000, 10'000'000'000, 0);
  ASSERT_GT(lag.seconds.size(), 400u);
  const e2e_bench::Summary time = e2e_bench::Summarize(lag.timeLag);
  const e2e_bench::Summary distance = e2e_bench::Summarize(lag.distance);
  EXPECT_NEAR(time.p50, 0.5, 0.02);
  EXPECT_NEAR(time.max, 0.5, 0.02);
  EXPECT_NEAR(distance.p50, 50.0, 1.0);
  EXPECT_NEAR(lag.seconds.front(), 2.0, 0.02);
}

// The offline follower runs the module's own receive path and easing on the
// stand-in: started beside a leader 1 km to its north, it closes in.
TEST(SuiteFigures, TheOfflineFollowerClosesOnTheLeader) {
  const double offset = 1000.0 / kMetresPerDegree;
  const auto leader = NorthboundLeader(0.0, 20.0, offset);
  const auto follower = e2e_bench::EaseOffline(leader);
  ASSERT_EQ(follower.size(), leader.size() - 1);
  const double start = trace::DistanceMetres(follower.front().aircraft, leader.front().aircraft);
  const double end = trace::DistanceMetres(follower.back().aircraft, leader.back().aircraft);
  EXPECT_GT(start, 900.0);
  EXPECT_LT(end, start / 2);
  EXPECT_EQ(follower.back().monoNs, leader.back().monoNs);
}

}  // namespace
