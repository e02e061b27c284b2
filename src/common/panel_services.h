// The simulator's panel service table, reached through the import table at
// the moment of each call. The table is an array of pointer-sized slots; the
// byte positions known from the 32-bit simulator are slot index position / 4.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "callconv.h"

struct ElementHeader;

// The module's key-event handler: key event id, event data, user pointer.
using KeyEventHandler = void (*)(std::uint32_t, std::uint32_t, void*);

// The simulator's panel service table, as the simulator fills it in.
using PanelServiceTable = void* const*;

namespace panel {

// Byte positions of the slots in the 32-bit table.
inline constexpr std::size_t kElementQuery = 96;
inline constexpr std::size_t kElementInstall = 100;
inline constexpr std::size_t kElementInitialize = 104;
inline constexpr std::size_t kElementUpdate = 108;
inline constexpr std::size_t kElementGenerate = 112;
inline constexpr std::size_t kElementDraw = 116;
inline constexpr std::size_t kElementKill = 124;
inline constexpr std::size_t kTriggerKeyEvent = 144;
inline constexpr std::size_t kReleasePanelResources = 168;
inline constexpr std::size_t kFindNamedValue = 204;
inline constexpr std::size_t kCreateNamedValue = 208;
inline constexpr std::size_t kReadNamedValue = 212;
inline constexpr std::size_t kWriteNamedValue = 220;
inline constexpr std::size_t kHookKeyEvents = 320;
inline constexpr std::size_t kUnhookKeyEvents = 324;
// Slots a table must at least hold.
inline constexpr std::size_t kTableSlots = kUnhookKeyEvents / 4 + 1;

constexpr std::size_t SlotIndex(std::size_t bytePosition) { return bytePosition / 4; }

// Signatures of the slots.
using ElementFn = void(MS_STDCALL*)(ElementHeader*);
using ElementInstallFn = void(MS_STDCALL*)(ElementHeader*, void*);
using ElementGenerateFn = void(MS_STDCALL*)(ElementHeader*, std::uint32_t);
using TriggerKeyEventFn = std::int32_t(MS_STDCALL*)(std::uint32_t, std::uint32_t);
using ReleasePanelResourcesFn = void(MS_STDCALL*)();
using FindNamedValueFn = std::int32_t(MS_STDCALL*)(const char*);
using CreateNamedValueFn = std::int32_t(MS_STDCALL*)(const char*);
using ReadNamedValueFn = double(MS_STDCALL*)(std::int32_t);
using WriteNamedValueFn = void(MS_STDCALL*)(std::int32_t, double);
using HookKeyEventsFn = void(MS_STDCALL*)(KeyEventHandler, void*);

void TriggerKeyEvent(std::uint32_t id, std::uint32_t data);
void ReleasePanelResources();
// The name's identifier, or nothing when the simulator does not know the name
// (the service answers -1). Identifier 0 is an identifier like any other.
std::optional<std::uint32_t> FindNamedValue(const char* name);
void CreateNamedValue(const char* name);
double ReadNamedValue(std::uint32_t id);
void WriteNamedValue(std::uint32_t id, double value);
void HookKeyEvents(KeyEventHandler handler, void* user);
void UnhookKeyEvents(KeyEventHandler handler, void* user);
// The five element services without a value (query, initialize, update,
// draw, kill), then the two that pass the simulator's value on.
void CallElementService(std::size_t bytePosition, ElementHeader* element);
void InstallElement(ElementHeader* element, void* value);
void GenerateElement(ElementHeader* element, std::uint32_t phase);

// Word 1 of the module's exported ImportTable, where the simulator stores the
// table's address before it starts the module; every call reads it anew. The
// module's entry defines it beside the record it names.
extern const PanelServiceTable& panelServices;

}  // namespace panel
