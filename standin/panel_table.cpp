// The panel service table handed to the module: each slot the module calls
// forwards to the stand-in's named variables and key events; the element
// services draw nothing and only count their calls.
#include <array>
#include <atomic>
#include <optional>

#include "internal.h"

namespace standin {

namespace {

std::atomic<int> releasePanelResourcesCalls{0};
std::atomic<int> elementCalls{0};

void MS_STDCALL ElementService(ElementHeader*) { ++elementCalls; }

void MS_STDCALL ElementInstallService(ElementHeader*, void*) { ++elementCalls; }

void MS_STDCALL ElementGenerateService(ElementHeader*, std::uint32_t) { ++elementCalls; }

// The named-variable services' shapes as the simulator declares them:
// identifiers are signed, and find answers -1 for a name it does not know.
using FindNamedValueService = std::int32_t(MS_STDCALL*)(const char*);
using CreateNamedValueService = std::int32_t(MS_STDCALL*)(const char*);
using ReadNamedValueService = double(MS_STDCALL*)(std::int32_t);
using WriteNamedValueService = void(MS_STDCALL*)(std::int32_t, double);
constexpr std::int32_t kUnknownName = -1;

std::int32_t MS_STDCALL TriggerKeyEventSlot(std::uint32_t id, std::uint32_t data) {
  CountCall(Service::kTriggerKeyEvent);
  RaiseKeyEvent(id, data, By::kModule);
  return 0;
}

void MS_STDCALL ReleasePanelResourcesSlot() { ++releasePanelResourcesCalls; }

std::int32_t MS_STDCALL FindNamedValueSlot(const char* name) {
  CountCall(Service::kFindNamedValue);
  const std::optional<std::uint32_t> id = name == nullptr ? std::nullopt : FindNamed(name);
  return id ? static_cast<std::int32_t>(*id) : kUnknownName;
}

std::int32_t MS_STDCALL CreateNamedValueSlot(const char* name) {
  CountCall(Service::kCreateNamedValue);
  return name == nullptr ? kUnknownName : static_cast<std::int32_t>(CreateNamed(name));
}

// A negative identifier names no variable: it reads 0.0, like any unknown one.
double MS_STDCALL ReadNamedValueSlot(std::int32_t id) {
  CountCall(Service::kReadNamedValue);
  return id < 0 ? 0.0 : ReadNamedById(static_cast<std::uint32_t>(id));
}

void MS_STDCALL WriteNamedValueSlot(std::int32_t id, double value) {
  CountCall(Service::kWriteNamedValue);
  if (id >= 0) WriteNamedById(static_cast<std::uint32_t>(id), value, By::kModule);
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
  Put(table, panel::kFindNamedValue, static_cast<FindNamedValueService>(FindNamedValueSlot));
  Put(table, panel::kCreateNamedValue, static_cast<CreateNamedValueService>(CreateNamedValueSlot));
  Put(table, panel::kReadNamedValue, static_cast<ReadNamedValueService>(ReadNamedValueSlot));
  Put(table, panel::kWriteNamedValue, static_cast<WriteNamedValueService>(WriteNamedValueSlot));
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
