#include "common/panel_services.h"

namespace panel {

namespace {
template <typename Fn>
Fn Slot(std::size_t bytePosition) {
  return reinterpret_cast<Fn>(panelServices[SlotIndex(bytePosition)]);
}
}  // namespace

void TriggerKeyEvent(std::uint32_t id, std::uint32_t data) {
  Slot<TriggerKeyEventFn>(kTriggerKeyEvent)(id, data);
}

void ReleasePanelResources() { Slot<ReleasePanelResourcesFn>(kReleasePanelResources)(); }

std::optional<std::uint32_t> FindNamedValue(const char* name) {
  const std::int32_t id = Slot<FindNamedValueFn>(kFindNamedValue)(name);
  // The service hands out identifiers from 0 upward; a negative one is its
  // answer for an unknown name.
  if (id < 0) return std::nullopt;
  return static_cast<std::uint32_t>(id);
}

void CreateNamedValue(const char* name) { Slot<CreateNamedValueFn>(kCreateNamedValue)(name); }

// The services take the identifier as the signed number they handed out;
// FindNamedValue keeps only those from 0 up, so the conversion is exact.
double ReadNamedValue(std::uint32_t id) {
  return Slot<ReadNamedValueFn>(kReadNamedValue)(static_cast<std::int32_t>(id));
}

void WriteNamedValue(std::uint32_t id, double value) {
  Slot<WriteNamedValueFn>(kWriteNamedValue)(static_cast<std::int32_t>(id), value);
}

void HookKeyEvents(KeyEventHandler handler, void* user) {
  Slot<HookKeyEventsFn>(kHookKeyEvents)(handler, user);
}

void UnhookKeyEvents(KeyEventHandler handler, void* user) {
  Slot<HookKeyEventsFn>(kUnhookKeyEvents)(handler, user);
}

void CallElementService(std::size_t bytePosition, ElementHeader* element) {
  Slot<ElementFn>(bytePosition)(element);
}

void InstallElement(ElementHeader* element, void* value) {
  Slot<ElementInstallFn>(kElementInstall)(element, value);
}

void GenerateElement(ElementHeader* element, std::uint32_t phase) {
  Slot<ElementGenerateFn>(kElementGenerate)(element, phase);
}

}  // namespace panel
