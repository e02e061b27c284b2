// ms_bench: Google Benchmark's main with the documents folder the module's
// log writes to set up first and removed afterwards.
#include <benchmark/benchmark.h>

#include "bench_module.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const BenchDocuments documents;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
