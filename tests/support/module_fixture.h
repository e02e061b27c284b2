// A GoogleTest fixture that drives the module in this process through the
// stand-in simulator, as simhost does with the loaded library: a fresh
// documents folder, a fresh simulator and the module's state as it is
// right after load.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/module_state.h"
#include "module/gauge.h"
#include "module/module.h"
#include "module/module_records.h"
#include "standin.h"

class ModuleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    documents_ = std::filesystem::temp_directory_path() /
                 ("ms-fixture-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(documents_);
    std::filesystem::create_directories(QuelvoFolder());
    ::setenv("XDG_DOCUMENTS_DIR", documents_.c_str(), 1);
    standin::Reset();
    FreshModuleState();
    ImportTable.panels = standin::PanelTable();
  }

  // A test that leaves the gauge or the module running is ended here, so that
  // no role thread outlives it and touches the next test's state.
  void TearDown() override {
    if (gaugeAlive_) KillGauge();
    if (moduleStarted_) StopModule();
    standin::SetTrace(nullptr);
    std::filesystem::remove_all(documents_);
  }

  // Module start, then the messages the session has ready (the open message
  // and the flight start).
  void StartModule() {
    ModuleInit();
    moduleStarted_ = true;
    standin::DeliverMessages();
  }
  void CreateGauge() {
    GaugeCallback(&multiSharedGauge, kServicePreInitialize, 0);
    gaugeAlive_ = true;
  }
  // One simulator frame, in simhost's order.
  void Frame() {
    standin::DeliverMessages();
    standin::PerformKeyEvents();
    GaugeCallback(&multiSharedGauge, kServicePreUpdate, 0);
  }
  void KillGauge() {
    gaugeAlive_ = false;
    GaugeCallback(&multiSharedGauge, kServicePreKill, 0);
  }
  void StopModule() {
    moduleStarted_ = false;
    ModuleDeinit();
  }

  std::filesystem::path Documents() const { return documents_; }
  std::filesystem::path QuelvoFolder() const { return documents_ / "Veltrana" / "Quelvo"; }

  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream out(QuelvoFolder() / name, std::ios::binary | std::ios::trunc);
    out << text;
  }

  // The lines of SharedDetails.log, none when it does not exist.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(QuelvoFolder() / "SharedDetails.log");
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

 private:
  std::filesystem::path documents_;
  bool moduleStarted_ = false;
  bool gaugeAlive_ = false;
};
