// Summaries of measured samples: percentiles and histograms.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace e2e_bench {

struct Summary {
  std::size_t count = 0;
  double mean = 0.0, p50 = 0.0, p95 = 0.0, p99 = 0.0, max = 0.0;
};

// Percentiles by the nearest-rank method; all zero for no samples.
Summary Summarize(std::vector<double> samples);
nlohmann::json ToJson(const Summary& summary);

// Writes "from to count" lines of a histogram of `samples` with bins of
// `width` from 0 up to the largest sample, for gnuplot.
void WriteHistogram(const std::string& path, const std::vector<double>& samples, double width);

}  // namespace e2e_bench
