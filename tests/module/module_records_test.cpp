// The exported records hold what the simulator reads from them.
#include "module/module_records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "module/gauge.h"
#include "module/module.h"

namespace {

TEST(ModuleRecords, ImportTableNamesThePanelServiceTable) {
  EXPECT_EQ(ImportTable.panelsId, 0x0Fu);
  EXPECT_EQ(ImportTable.terminatorId, 0u);
  EXPECT_EQ(ImportTable.terminatorPointer, nullptr);
}

TEST(ModuleRecords, LinkageLeadsToStartStopAndTheOneGauge) {
  EXPECT_EQ(Linkage.moduleId, 0x13u);
  EXPECT_EQ(Linkage.moduleInit, &ModuleInit);
  EXPECT_EQ(Linkage.moduleDeinit, &ModuleDeinit);
  EXPECT_EQ(Linkage.flags, 0u);
  EXPECT_EQ(Linkage.priority, 0u);
  EXPECT_EQ(Linkage.moduleVersion, 0x900u);
  EXPECT_EQ(Linkage.gauges[0], &multiSharedGauge);
  EXPECT_EQ(Linkage.gauges[1], nullptr);
}

TEST(ModuleRecords, GaugeHeaderDescribesMultiShared) {
  const GaugeHeader& gauge = *Linkage.gauges[0];
  EXPECT_EQ(gauge.headerVersion, 1000u);
  EXPECT_STREQ(gauge.name, "MultiShared");
  EXPECT_EQ(gauge.sizeXmm, 400u);
  EXPECT_EQ(gauge.sizeYmm, 0u);
  EXPECT_EQ(gauge.gaugeCallback, &GaugeCallback);
  EXPECT_NE(gauge.queryRoutine, nullptr);
  EXPECT_NE(gauge.installRoutine, nullptr);
  EXPECT_NE(gauge.initializeRoutine, nullptr);
  EXPECT_NE(gauge.updateRoutine, nullptr);
  EXPECT_NE(gauge.generateRoutine, nullptr);
  EXPECT_NE(gauge.drawRoutine, nullptr);
  EXPECT_NE(gauge.killRoutine, nullptr);
  EXPECT_EQ(gauge.position.x, 0);
  EXPECT_EQ(gauge.position.y, 0);

  // The simulator owns every other field: the module leaves all of them 0.
  // Copied byte for byte and compared with a static (so wholly zeroed) empty
  // header, padding included.
  GaugeHeader rest;
  std::memcpy(&rest, &gauge, sizeof rest);
  rest.headerVersion = 0;
  rest.name = nullptr;
  rest.elements = nullptr;
  rest.queryRoutine = rest.initializeRoutine = rest.updateRoutine = nullptr;
  rest.drawRoutine = rest.killRoutine = nullptr;
  rest.installRoutine = nullptr;
  rest.generateRoutine = nullptr;
  rest.sizeXmm = 0;
  rest.mouseRects = nullptr;
  rest.gaugeCallback = nullptr;
  static const GaugeHeader empty{};
  EXPECT_EQ(std::memcmp(&rest, &empty, sizeof rest), 0);
}

TEST(ModuleRecords, TheOnlyElementIsAStaticImagePointingBackToTheGauge) {
  GaugeHeader* gauge = Linkage.gauges[0];
  ASSERT_NE(gauge->elements, nullptr);
  EXPECT_EQ(gauge->elements[1], nullptr);
  const ElementHeader& element = *gauge->elements[0];
  EXPECT_EQ(element.elementType, 0u);
  EXPECT_EQ(element.resourceId, 0x1000u);
  EXPECT_EQ(element.imageFlags, 0x24u);
  EXPECT_EQ(element.gauge, gauge);
  EXPECT_EQ(element.position.x, 0);
  EXPECT_EQ(element.position.y, 0);
  EXPECT_EQ(element.nextElements, nullptr);
}

TEST(ModuleRecords, MouseListIsParentEndAndTerminator) {
  const MouseRect* rects = Linkage.gauges[0]->mouseRects;
  ASSERT_NE(rects, nullptr);
  const std::int32_t types[3] = {1, 3, 0};
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(rects[r].type, types[r]);
    EXPECT_EQ(rects[r].cursor, -1);
    // Everything else is 0: the box, help id, flags, event id, function, data.
    MouseRect zeroed;
    std::memcpy(&zeroed, &rects[r], sizeof zeroed);
    zeroed.type = 0;
    zeroed.cursor = 0;
    static const MouseRect empty{};
    EXPECT_EQ(std::memcmp(&zeroed, &empty, sizeof zeroed), 0);
  }
}

}  // namespace
