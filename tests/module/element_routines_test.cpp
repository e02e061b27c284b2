// The gauge's seven element routines, called as the simulator calls them
// through the gauge header, each reach the panel service of their own slot
// with the gauge's element and, for install and generate, the simulator's
// value.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/panel_services.h"
#include "module/module_records.h"

namespace {

struct ElementCall {
  std::size_t slotByte;
  ElementHeader* element;
  std::uintptr_t value;
  bool operator==(const ElementCall&) const = default;
};

std::vector<ElementCall> calls;

// One recording service per slot, so that a call through the wrong slot
// shows up as that slot.
template <std::size_t kSlotByte>
void MS_STDCALL Record(ElementHeader* element) {
  calls.push_back({kSlotByte, element, 0});
}
void MS_STDCALL RecordInstall(ElementHeader* element, void* value) {
  calls.push_back({panel::kElementInstall, element, reinterpret_cast<std::uintptr_t>(value)});
}
void MS_STDCALL RecordGenerate(ElementHeader* element, std::uint32_t phase) {
  calls.push_back({panel::kElementGenerate, element, phase});
}

TEST(ElementRoutines, EachReachesItsOwnSlotWithTheGaugesElement) {
  void* table[panel::kTableSlots] = {};
  const auto put = [&](std::size_t slotByte, auto fn) {
    table[panel::SlotIndex(slotByte)] = reinterpret_cast<void*>(fn);
  };
  put(panel::kElementQuery, &Record<panel::kElementQuery>);
  put(panel::kElementInstall, &RecordInstall);
  put(panel::kElementInitialize, &Record<panel::kElementInitialize>);
  put(panel::kElementUpdate, &Record<panel::kElementUpdate>);
  put(panel::kElementGenerate, &RecordGenerate);
  put(panel::kElementDraw, &Record<panel::kElementDraw>);
  put(panel::kElementKill, &Record<panel::kElementKill>);
  const PanelServiceTable saved = ImportTable.panels;
  ImportTable.panels = table;
  calls.clear();

  GaugeHeader& gauge = *Linkage.gauges[0];
  int installValue = 0;
  gauge.queryRoutine();
  gauge.installRoutine(&installValue);
  gauge.initializeRoutine();
  gauge.updateRoutine();
  gauge.generateRoutine(0xC0FFEE);
  gauge.drawRoutine();
  gauge.killRoutine();
  ImportTable.panels = saved;

  ElementHeader* element = gauge.elements[0];
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->gauge, &gauge);
  const std::vector<ElementCall> expected = {
      {96, element, 0},         {100, element, reinterpret_cast<std::uintptr_t>(&installValue)},
      {104, element, 0},        {108, element, 0},
      {112, element, 0xC0FFEE}, {116, element, 0},
      {124, element, 0},
  };
  EXPECT_EQ(calls, expected);
}

}  // namespace
