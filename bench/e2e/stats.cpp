#include "stats.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>

namespace e2e_bench {

Summary Summarize(std::vector<double> samples) {
  Summary s;
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  const auto rank = [&](double p) {
    const auto n = static_cast<double>(samples.size());
    const auto at = static_cast<std::size_t>(std::ceil(p * n));
    return samples[std::clamp<std::size_t>(at, 1, samples.size()) - 1];
  };
  s.count = samples.size();
  s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(s.count);
  s.p50 = rank(0.50);
  s.p95 = rank(0.95);
  s.p99 = rank(0.99);
  s.max = samples.back();
  return s;
}

nlohmann::json ToJson(const Summary& s) {
  return {{"count", s.count}, {"mean", s.mean}, {"p50", s.p50},
          {"p95", s.p95},     {"p99", s.p99},   {"max", s.max}};
}

void WriteHistogram(const std::string& path, const std::vector<double>& samples, double width) {
  std::ofstream out(path, std::ios::trunc);
  if (samples.empty() || !(width > 0.0)) return;
  const double top = *std::max_element(samples.begin(), samples.end());
  std::vector<std::size_t> bins(static_cast<std::size_t>(top / width) + 1, 0);
  for (double v : samples) ++bins[static_cast<std::size_t>(std::max(v, 0.0) / width)];
  for (std::size_t i = 0; i < bins.size(); ++i) {
    out << static_cast<double>(i) * width << ' ' << static_cast<double>(i + 1) * width << ' '
        << bins[i] << '\n';
  }
}

}  // namespace e2e_bench
