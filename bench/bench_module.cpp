#include "bench_module.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "common/module_state.h"
#include "module/gauge.h"
#include "module/module.h"
#include "module/module_records.h"
#include "standin.h"

BenchDocuments::BenchDocuments()
    : folder_((std::filesystem::temp_directory_path() / ("ms-bench-" + std::to_string(::getpid())))
                  .string()) {
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  ::setenv("XDG_DOCUMENTS_DIR", folder_.c_str(), 1);
}

BenchDocuments::~BenchDocuments() { std::filesystem::remove_all(folder_); }

ModuleSession::ModuleSession() {
  standin::Reset();
  simThread.lvarTable.clear();
  Store(simThread.lvarCount, 0);
  Store(roleState.isFollower, 0);
  ImportTable.panels = standin::PanelTable();
  ModuleInit();
  standin::DeliverMessages();  // the open message: the data definitions
  GaugeCallback(&multiSharedGauge, kServicePreInitialize, 0);
}

ModuleSession::~ModuleSession() {
  ModuleDeinit();
  simThread.lvarTable.clear();
  Store(simThread.lvarCount, 0);
}

void UseTable(const std::vector<LVarCategory>& categories) {
  simThread.lvarTable.clear();
  for (std::size_t i = 0; i < categories.size(); ++i) {
    auto entry = std::make_unique<LVarEntry>();
    entry->name = "BENCH_" + std::to_string(i);
    entry->category = categories[i];
    standin::WriteNamed(entry->name, 0.0);
    simThread.lvarTable.push_back(std::move(entry));
  }
  Store(simThread.lvarCount, simThread.lvarTable.size());
}

std::vector<LVarCategory> MixedCategories(std::size_t count) {
  std::vector<LVarCategory> categories;
  for (std::size_t i = 0; i < count; ++i) {
    categories.push_back(static_cast<LVarCategory>(i % 8));
  }
  return categories;
}
