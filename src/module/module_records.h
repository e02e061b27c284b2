// The records through which the simulator finds the module: the import table,
// the linkage record, the gauge header with its element and mouse list. The
// stand-in simulator reads the same declarations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callconv.h"

// Pointer fields are 4 bytes on the 32-bit simulator; on a 64-bit build they
// widen and the order of the fields stays.
inline constexpr bool kPointers32 = sizeof(void*) == 4;

struct GaugeHeader;
struct ElementHeader;

using PanelServiceTable = void* const*;
using ModuleRoutine = void(MS_STDCALL*)();
using GaugeCallbackRoutine = void(MS_STDCALL*)(GaugeHeader*, std::int32_t, std::uint32_t);
using ElementRoutine = void(MS_STDCALL*)();
using ElementRoutineWithValue = void(MS_STDCALL*)(std::uint32_t);

struct ImportTableRecord {
  std::uint32_t panelsId;         // import id of the panel service table
  PanelServiceTable panels;       // filled in by the simulator before ModuleInit
  std::uint32_t terminatorId;     // 0
  const void* terminatorPointer;  // 0
};

struct LinkageRecord {
  std::uint32_t moduleId;
  ModuleRoutine moduleInit;
  ModuleRoutine moduleDeinit;
  std::uint32_t flags;
  std::uint32_t priority;
  std::uint32_t moduleVersion;
  GaugeHeader* const* gauges;  // null-terminated list of gauge headers
};

// One mouse rectangle: eleven words, of which the simulator reads the type
// (word 0) and a cursor word (word 5).
struct MouseRect {
  std::int32_t words[11];
};

struct GaugeHeader {
  std::uint32_t headerVersion;
  const char* name;
  ElementHeader* const* elements;
  ElementRoutine queryRoutine;
  ElementRoutineWithValue installRoutine;
  ElementRoutine initializeRoutine;
  ElementRoutine updateRoutine;
  ElementRoutineWithValue generateRoutine;
  ElementRoutine drawRoutine;
  ElementRoutine killRoutine;
  const void* reserved1;
  std::uint32_t sizeXmm;
  std::uint32_t sizeYmm;
  float xAdjust;
  float yAdjust;
  const void* reserved2;
  const void* reserved3;
  std::int32_t positionX;
  std::int32_t positionY;
  const void* reserved4;
  const MouseRect* mouseRects;
  GaugeCallbackRoutine gaugeCallback;
  std::uint32_t userData;
  const void* parameters;
  const void* usage;
  const void* reserved5;
  const void* reserved6;
};

struct ElementHeader {
  std::uint32_t elementType;  // 0: static image
  std::uint32_t resourceId;
  std::int32_t positionX;
  std::int32_t positionY;
  std::int32_t previousPositionX;
  std::int32_t previousPositionY;
  std::int32_t offsetX;
  std::int32_t offsetY;
  GaugeHeader* gauge;
  ElementHeader* previousElement;
  ElementHeader* const* nextElements;
  const void* failures;
  std::uint32_t reserved1;
  std::uint32_t imageFlags;
  const void* reserved2;
  const void* reserved3;
  const void* image;
  const void* reserved4;
};

// The 32-bit simulator's layouts, checked where they apply.
static_assert(sizeof(MouseRect) == 44);
static_assert(!kPointers32 || sizeof(ImportTableRecord) == 16);
static_assert(!kPointers32 || offsetof(ImportTableRecord, panels) == 4);
static_assert(!kPointers32 || sizeof(LinkageRecord) == 28);
static_assert(!kPointers32 || offsetof(LinkageRecord, moduleVersion) == 20);
static_assert(!kPointers32 || offsetof(LinkageRecord, gauges) == 24);
static_assert(!kPointers32 || offsetof(GaugeHeader, name) == 4);
static_assert(!kPointers32 || offsetof(GaugeHeader, elements) == 8);
static_assert(!kPointers32 || offsetof(GaugeHeader, queryRoutine) == 12);
static_assert(!kPointers32 || offsetof(GaugeHeader, killRoutine) == 36);
static_assert(!kPointers32 || offsetof(GaugeHeader, sizeXmm) == 44);
static_assert(!kPointers32 || offsetof(GaugeHeader, mouseRects) == 80);
static_assert(!kPointers32 || offsetof(GaugeHeader, gaugeCallback) == 84);
static_assert(!kPointers32 || sizeof(GaugeHeader) == 108);
static_assert(!kPointers32 || offsetof(ElementHeader, gauge) == 32);
static_assert(!kPointers32 || offsetof(ElementHeader, imageFlags) == 52);
static_assert(!kPointers32 || sizeof(ElementHeader) == 72);
// Field order holds on every target.
static_assert(offsetof(ImportTableRecord, panels) < offsetof(ImportTableRecord, terminatorId));
static_assert(offsetof(GaugeHeader, mouseRects) < offsetof(GaugeHeader, gaugeCallback));

// Values of the records.
inline constexpr std::uint32_t kPanelsImportId = 0x0F;
inline constexpr std::uint32_t kModuleId = 0x13;
inline constexpr std::uint32_t kModuleVersion = 0x900;
inline constexpr std::uint32_t kGaugeHeaderVersion = 1000;
inline constexpr std::uint32_t kGaugeSizeXmm = 400;
inline constexpr std::uint32_t kElementResourceId = 0x1000;
inline constexpr std::uint32_t kElementImageFlags = 0x24;

// Gauge services the callback answers.
inline constexpr std::int32_t kServicePreInitialize = 4;
inline constexpr std::int32_t kServicePreUpdate = 6;
inline constexpr std::int32_t kServicePreKill = 12;

// The two symbols the module library exports.
extern "C" {
extern ImportTableRecord ImportTable;
extern LinkageRecord Linkage;
}
