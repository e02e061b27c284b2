// The panel service table handed to the module: each slot the module calls
// forwards to the stand-in's named variables and key events; the element
// services draw nothing and only count their calls.
#include <array>
#include <atomic>

#include "internal.h"

namespace standin {

namespace {

std::atomic<int> releasePanelResourcesCalls{0};
std::atomic<int> elementCalls{0};

void MS_STDCALL ElementService(ElementHeader*) { ++elementCalls; }

void MS_STDCALL ElementInstallService(ElementHeader*, void*) { ++elementCalls; }

void MS_STDCALL ElementGenerateService(ElementHeader*, std::uint32_t) { ++elementCalls; }

std::int32_t MS_STDCALL TriggerKeyEventSlot(std::uint32_t id, std::uint32_t data) {
  RaiseKeyEvent(id, data, By::kModule);
  return 0;
}

void MS_STDCALL ReleasePanelResourcesSlot() { ++releasePanelResourcesCalls; }

std::uint32_t MS_STDCALL FindNamedValueSlot(const char* name) {
  return name == nullptr ? 0 : FindNamed(name);
}

std::int32_t MS_STDCALL CreateNamedValueSlot(const char* name) {
  if (name != nullptr) CreateNamed(name);
  return 0;
}

double MS_STDCALL ReadNamedValueSlot(std::uint32_t id) { return ReadNamedById(id); }

void MS_STDCALL WriteNamedValueSlot(std::uint32_t id, double value) {
  WriteNamedById(id, value, By::kModule);
}

void MS_STDCALL HookKeyEventsSlot(KeyEventHandler handler, void* user) {
  HookKeyEventHandler(handler, user);
}

void MS_STDCALL UnhookKeyEventsSlot(KeyEventHandler handler, void* user) {
  UnhookKeyEventHandler(handler, user);
}

template <typename Fn>
void Put(std::array<void*, panel::kTableSlots>& table, std::size_t bytePosition, Fn fn) {
  table[panel::SlotIndex(bytePosition)] = reinterpret_cast<void*>(fn);
}

std::array<void*, panel::kTableSlots> MakeTable() {
  std::array<void*, panel::kTableSlots> table{};
  for (std::size_t position : {panel::kElementQuery, panel::kElementInitialize,
                               panel::kElementUpdate, panel::kElementDraw, panel::kElementKill}) {
    Put(table, position, static_cast<panel::ElementFn>(ElementService));
  }
  Put(table, panel::kElementInstall, static_cast<panel::ElementInstallFn>(ElementInstallService));
  Put(table, panel::kElementGenerate,
      static_cast<panel::ElementGenerateFn>(ElementGenerateService));
  Put(table, panel::kTriggerKeyEvent, static_cast<panel::TriggerKeyEventFn>(TriggerKeyEventSlot));
  Put(table, panel::kReleasePanelResources,
      static_cast<panel::ReleasePanelResourcesFn>(ReleasePanelResourcesSlot));
  Put(table, panel::kFindNamedValue, static_cast<panel::FindNamedValueFn>(FindNamedValueSlot));
  Put(table, panel::kCreateNamedValue,
      static_cast<panel::CreateNamedValueFn>(CreateNamedValueSlot));
  Put(table, panel::kReadNamedValue, static_cast<panel::ReadNamedValueFn>(ReadNamedValueSlot));
  Put(table, panel::kWriteNamedValue, static_cast<panel::WriteNamedValueFn>(WriteNamedValueSlot));
  Put(table, panel::kHookKeyEvents, static_cast<panel::HookKeyEventsFn>(HookKeyEventsSlot));
  Put(table, panel::kUnhookKeyEvents, static_cast<panel::HookKeyEventsFn>(UnhookKeyEventsSlot));
  return table;
}

}  // namespace

void* const* PanelTable() {
  static const std::array<void*, panel::kTableSlots> table = MakeTable();
  return table.data();
}

PanelCallCounts PanelCalls() { return {releasePanelResourcesCalls.load(), elementCalls.load()}; }

void ResetPanelCounts() {
  releasePanelResourcesCalls = 0;
  elementCalls = 0;
}

}  // namespace standin
