// The records through which the simulator finds the module: the import table,
// the linkage record, the gauge header with its element and mouse list, laid
// out as the simulator's gauge interface declares them (32-bit, packing 4).
// The simulator reads these bytes at fixed offsets, so every offset and size
// of the 32-bit layout is asserted below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callconv.h"
#include "common/panel_services.h"

// Pointer fields are 4 bytes on the 32-bit simulator, which packs to 4. A
// 64-bit build keeps the fields and their order, widens the pointer fields
// (pointers, routines, handles, buffers) and packs to 8, the compiler's
// natural layout.
inline constexpr bool kPointers32 = sizeof(void*) == 4;

struct GaugeHeader;
struct ElementHeader;

using ModuleRoutine = void(MS_STDCALL*)();
using GaugeCallbackRoutine = void(MS_STDCALL*)(GaugeHeader*, std::int32_t, std::uint32_t);
using ElementRoutine = void(MS_STDCALL*)();
using ElementInstallRoutine = void(MS_STDCALL*)(void*);
using ElementGenerateRoutine = void(MS_STDCALL*)(std::uint32_t);

#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 4)
#else
#pragma pack(push, 8)
#endif

struct ImportTableRecord {
  std::uint32_t panelsId{};         // import id of the panel service table
  PanelServiceTable panels{};       // filled in by the simulator before ModuleInit
  std::uint32_t terminatorId{};     // 0
  const void* terminatorPointer{};  // 0
};

// The gauge list is part of the record, not a pointer to a list: the
// simulator walks the header pointers from offset 24 up to a null.
struct LinkageRecord {
  std::uint32_t moduleId{};
  ModuleRoutine moduleInit{};
  ModuleRoutine moduleDeinit{};
  std::uint32_t flags{};
  std::uint32_t priority{};
  std::uint32_t moduleVersion{};
  GaugeHeader* gauges[2]{};  // the one gauge, then the null that ends the list
};

struct PointPair {
  std::int32_t x{};
  std::int32_t y{};
};

// Mouse rectangle types; a list is a parent, its end and the terminator.
inline constexpr std::int32_t kMouseEnd = 0;
inline constexpr std::int32_t kMouseParent = 1;
inline constexpr std::int32_t kMouseEndOfParent = 3;
inline constexpr std::int32_t kNoCursor = -1;

struct MouseRect {
  std::int32_t type{};
  std::int32_t box[4]{};
  std::int32_t cursor{};
  std::uint32_t helpId{};
  std::uint32_t mouseFlags{};
  std::uint32_t eventId{};
  const void* mouseFunction{};
  std::uint32_t simulatorData{};  // the simulator's own use
};

// Gauge header of header version 1000.
struct GaugeHeader {
  std::uint32_t headerVersion{};
  const char* name{};
  ElementHeader* const* elements{};  // null-ended list
  ElementRoutine queryRoutine{};
  ElementInstallRoutine installRoutine{};
  ElementRoutine initializeRoutine{};
  ElementRoutine updateRoutine{};
  ElementGenerateRoutine generateRoutine{};
  ElementRoutine drawRoutine{};
  ElementRoutine killRoutine{};
  std::uint32_t reserved40{};
  std::uint32_t sizeXmm{};
  std::uint32_t sizeYmm{};
  float xAdjust{};
  float yAdjust{};
  std::uint32_t reserved60{};
  std::uint32_t reserved64{};
  PointPair position{};
  std::uint32_t reserved76{};
  MouseRect* mouseRects{};
  GaugeCallbackRoutine gaugeCallback{};
  std::uint32_t userData{};
  const void* parameters{};
  const void* usage{};
  std::int32_t reserved100{};
  const void* reserved104{};
  // From here on the simulator fills or reads the fields itself.
  PointPair size{};
  double userArea[10]{};
  std::uint32_t flags{};
  std::uint32_t reserved200{};
  std::uint8_t guid[16]{};
  std::uint32_t keyId{};
  const void* serializeSizeCallback{};
  const void* serializeCallback{};
  const void* deserializeCallback{};
  const void* eventSizeCallback{};
  const void* processEventCallback{};
  PointPair originalPosition{};
};

struct ElementHeader {
  std::uint32_t elementType{};  // 0: static image
  std::uint32_t resourceId{};
  PointPair position{};
  PointPair previousPosition{};
  PointPair offset{};
  GaugeHeader* gauge{};  // the owning header
  ElementHeader* previousElement{};
  ElementHeader* const* nextElements{};
  const void* failures{};
  std::uint32_t imageFlags{};
  std::uint32_t specialInstrumentation{};
  std::uint32_t reserved56{};
};

// With image flag 0x20 the simulator stores a device context and a bitmap
// handle in the element, so it must have room for them.
struct StaticImageElement {
  ElementHeader header{};
  void* imageData[4]{};
  void* saveBuffer{};
  void* deviceContext{};
  void* bitmap{};
  std::uint32_t reserved88{};
  std::uint32_t reserved92{};
};

#pragma pack(pop)

// The 32-bit simulator's layouts.
static_assert(!kPointers32 || sizeof(ImportTableRecord) == 16);
static_assert(!kPointers32 || offsetof(ImportTableRecord, panels) == 4);
static_assert(!kPointers32 || offsetof(ImportTableRecord, terminatorId) == 8);
static_assert(!kPointers32 || offsetof(ImportTableRecord, terminatorPointer) == 12);

static_assert(!kPointers32 || sizeof(LinkageRecord) == 32);
static_assert(!kPointers32 || offsetof(LinkageRecord, moduleInit) == 4);
static_assert(!kPointers32 || offsetof(LinkageRecord, moduleDeinit) == 8);
static_assert(!kPointers32 || offsetof(LinkageRecord, flags) == 12);
static_assert(!kPointers32 || offsetof(LinkageRecord, priority) == 16);
static_assert(!kPointers32 || offsetof(LinkageRecord, moduleVersion) == 20);
static_assert(!kPointers32 || offsetof(LinkageRecord, gauges) == 24);

static_assert(!kPointers32 || sizeof(MouseRect) == 44);
static_assert(!kPointers32 || offsetof(MouseRect, box) == 4);
static_assert(!kPointers32 || offsetof(MouseRect, cursor) == 20);
static_assert(!kPointers32 || offsetof(MouseRect, helpId) == 24);
static_assert(!kPointers32 || offsetof(MouseRect, mouseFlags) == 28);
static_assert(!kPointers32 || offsetof(MouseRect, eventId) == 32);
static_assert(!kPointers32 || offsetof(MouseRect, mouseFunction) == 36);
static_assert(!kPointers32 || offsetof(MouseRect, simulatorData) == 40);

static_assert(!kPointers32 || sizeof(GaugeHeader) == 252);
static_assert(!kPointers32 || offsetof(GaugeHeader, name) == 4);
static_assert(!kPointers32 || offsetof(GaugeHeader, elements) == 8);
static_assert(!kPointers32 || offsetof(GaugeHeader, queryRoutine) == 12);
static_assert(!kPointers32 || offsetof(GaugeHeader, installRoutine) == 16);
static_assert(!kPointers32 || offsetof(GaugeHeader, initializeRoutine) == 20);
static_assert(!kPointers32 || offsetof(GaugeHeader, updateRoutine) == 24);
static_assert(!kPointers32 || offsetof(GaugeHeader, generateRoutine) == 28);
static_assert(!kPointers32 || offsetof(GaugeHeader, drawRoutine) == 32);
static_assert(!kPointers32 || offsetof(GaugeHeader, killRoutine) == 36);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved40) == 40);
static_assert(!kPointers32 || offsetof(GaugeHeader, sizeXmm) == 44);
static_assert(!kPointers32 || offsetof(GaugeHeader, sizeYmm) == 48);
static_assert(!kPointers32 || offsetof(GaugeHeader, xAdjust) == 52);
static_assert(!kPointers32 || offsetof(GaugeHeader, yAdjust) == 56);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved60) == 60);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved64) == 64);
static_assert(!kPointers32 || offsetof(GaugeHeader, position) == 68);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved76) == 76);
static_assert(!kPointers32 || offsetof(GaugeHeader, mouseRects) == 80);
static_assert(!kPointers32 || offsetof(GaugeHeader, gaugeCallback) == 84);
static_assert(!kPointers32 || offsetof(GaugeHeader, userData) == 88);
static_assert(!kPointers32 || offsetof(GaugeHeader, parameters) == 92);
static_assert(!kPointers32 || offsetof(GaugeHeader, usage) == 96);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved100) == 100);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved104) == 104);
static_assert(!kPointers32 || offsetof(GaugeHeader, size) == 108);
static_assert(!kPointers32 || offsetof(GaugeHeader, userArea) == 116);
static_assert(!kPointers32 || offsetof(GaugeHeader, flags) == 196);
static_assert(!kPointers32 || offsetof(GaugeHeader, reserved200) == 200);
static_assert(!kPointers32 || offsetof(GaugeHeader, guid) == 204);
static_assert(!kPointers32 || offsetof(GaugeHeader, keyId) == 220);
static_assert(!kPointers32 || offsetof(GaugeHeader, serializeSizeCallback) == 224);
static_assert(!kPointers32 || offsetof(GaugeHeader, serializeCallback) == 228);
static_assert(!kPointers32 || offsetof(GaugeHeader, deserializeCallback) == 232);
static_assert(!kPointers32 || offsetof(GaugeHeader, eventSizeCallback) == 236);
static_assert(!kPointers32 || offsetof(GaugeHeader, processEventCallback) == 240);
static_assert(!kPointers32 || offsetof(GaugeHeader, originalPosition) == 244);

static_assert(!kPointers32 || sizeof(ElementHeader) == 60);
static_assert(!kPointers32 || offsetof(ElementHeader, resourceId) == 4);
static_assert(!kPointers32 || offsetof(ElementHeader, position) == 8);
static_assert(!kPointers32 || offsetof(ElementHeader, previousPosition) == 16);
static_assert(!kPointers32 || offsetof(ElementHeader, offset) == 24);
static_assert(!kPointers32 || offsetof(ElementHeader, gauge) == 32);
static_assert(!kPointers32 || offsetof(ElementHeader, previousElement) == 36);
static_assert(!kPointers32 || offsetof(ElementHeader, nextElements) == 40);
static_assert(!kPointers32 || offsetof(ElementHeader, failures) == 44);
static_assert(!kPointers32 || offsetof(ElementHeader, imageFlags) == 48);
static_assert(!kPointers32 || offsetof(ElementHeader, specialInstrumentation) == 52);
static_assert(!kPointers32 || offsetof(ElementHeader, reserved56) == 56);

static_assert(!kPointers32 || sizeof(StaticImageElement) == 96);
static_assert(!kPointers32 || offsetof(StaticImageElement, imageData) == 60);
static_assert(!kPointers32 || offsetof(StaticImageElement, saveBuffer) == 76);
static_assert(!kPointers32 || offsetof(StaticImageElement, deviceContext) == 80);
static_assert(!kPointers32 || offsetof(StaticImageElement, bitmap) == 84);
static_assert(!kPointers32 || offsetof(StaticImageElement, reserved88) == 88);
static_assert(!kPointers32 || offsetof(StaticImageElement, reserved92) == 92);

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
