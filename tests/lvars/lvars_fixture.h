// The module started over the stand-in simulator, with the gauge's services
// at hand under the names the named-variable tests use.
#pragma once

#include <algorithm>
#include <string>

#include "support/module_fixture.h"

class LVarsFixture : public ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    StartModule();
  }

  // The gauge's aircraft-load service and one simulator frame.
  void PreInitialize() { CreateGauge(); }
  void Update() { Frame(); }

  int LogCount(const std::string& line) const {
    const auto lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }

  static CockpitVars& Vars() { return *simThread.sharedState->vars; }
  static LVarEntry& Entry(std::size_t i) { return *simThread.lvarTable.at(i); }
  static double Named(const std::string& name) { return standin::ReadNamed(name).value_or(-999.0); }
};
