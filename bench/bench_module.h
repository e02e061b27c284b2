// The module started in this process on the stand-in simulator, as the
// simulator would start it, for the benchmarks to call its hot paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/lvar_entry.h"

// Points XDG_DOCUMENTS_DIR at a fresh temporary folder without the module's
// "Veltrana/Quelvo" folder: the log line of an applied record then fails to
// open its file at once, so that the figures are the module's and not the
// disk's. Removes the folder again when the benchmarks end.
class BenchDocuments {
 public:
  BenchDocuments();
  ~BenchDocuments();
  BenchDocuments(const BenchDocuments&) = delete;
  BenchDocuments& operator=(const BenchDocuments&) = delete;

 private:
  std::string folder_;
};

// A fresh simulator and a freshly started module with its gauge created, for
// one run of a benchmark; stopped again at the end of the run, so that what
// the stand-in records (every value the module sets) does not pile up.
class ModuleSession {
 public:
  ModuleSession();
  ~ModuleSession();
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;
};

// Replaces the shared table with entries of these categories, named
// "BENCH_<index>", whose variables exist and read 0.
void UseTable(const std::vector<LVarCategory>& categories);

// `count` categories taken in turn from all eight, so that every rule of a
// send pass is met, an FCU heading entry right after each FCU entry.
std::vector<LVarCategory> MixedCategories(std::size_t count);
