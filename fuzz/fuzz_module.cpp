#include "fuzz_module.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/module_state.h"
#include "module/gauge.h"
#include "module/module.h"
#include "module/module_records.h"
#include "simlink/eased_values.h"
#include "standin.h"

namespace {

// Momentary buttons (category 2) are left out: their records wait up to a
// second for the local cockpit, which would stall the fuzzer.
constexpr LVarCategory kFuzzCategories[] = {
    LVarCategory::kNone, LVarCategory::kFctl,   LVarCategory::kFcu, LVarCategory::kFcuHeading,
    LVarCategory::kDisp, LVarCategory::kTerrWx, LVarCategory::kBtn,
};
constexpr int kInputsBetweenResets = 4096;

bool started = false;
int inputsSinceReset = 0;

void BringUp() {
  standin::Reset();
  ImportTable.panels = standin::PanelTable();
  ModuleInit();
  standin::DeliverMessages();
  GaugeCallback(&multiSharedGauge, kServicePreInitialize, 0);
  simThread.lvarTable.clear();
  for (const LVarCategory category : kFuzzCategories) {
    auto entry = std::make_unique<LVarEntry>();
    entry->name = "FUZZ_" + std::to_string(static_cast<int>(category));
    entry->category = category;
    simThread.lvarTable.push_back(std::move(entry));
  }
  Store(simThread.lvarCount, simThread.lvarTable.size());
}

}  // namespace

void StartFuzzModule() {
  if (started) return;
  started = true;
  // A documents folder too long for the module's path buffer: every log
  // line is dropped before any file is touched, which keeps inputs fast.
  ::setenv("XDG_DOCUMENTS_DIR", std::string(300, 'd').c_str(), 1);
  BringUp();
}

void CheckAfterInput() {
  for (const EasedValue& source : kEasedValues) {
    if (!std::isfinite(Load((simThread.sharedState->*source.record).target))) __builtin_trap();
  }
  for (const auto& entry : simThread.lvarTable) {
    if (!std::isfinite(entry->value.load(std::memory_order_relaxed))) __builtin_trap();
  }
  if (++inputsSinceReset < kInputsBetweenResets) return;
  inputsSinceReset = 0;
  ModuleDeinit();
  BringUp();
}
