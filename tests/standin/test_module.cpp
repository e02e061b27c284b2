// A module library that does nothing, built once sound and once with each
// fault in its records that simhost must refuse (one macro per fault). Its
// records are declared here, field by field at the simulator's layout, so
// that a fault can be placed where the module's own declarations allow none.
#include <cstdint>

namespace {

void Routine() {}
void ElementRoutineWithValue(std::uint32_t) {}
void ElementInstall(void*) {}

struct Header;
void Callback(Header*, std::int32_t, std::uint32_t) {}

#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 4)
#else
#pragma pack(push, 8)
#endif

struct MouseRect {
  std::int32_t type = 0;
  std::int32_t box[4] = {};
  std::int32_t cursor = -1;
  std::uint32_t words[3] = {};  // help id, mouse flags, event id
  const void* function = nullptr;
  std::uint32_t data = 0;
};

struct Element {
  std::uint32_t words[8] = {};  // type, resource id, three position pairs
  Header* gauge = nullptr;
  const void* links[3] = {};  // previous element, next elements, failures
  std::uint32_t imageFlags = 0;
  std::uint32_t specialInstrumentation = 0;
  std::uint32_t reserved56 = 0;
  void* image[7] = {};  // image data, save buffer, device context, bitmap
  std::uint32_t reserved88[2] = {};
};

struct Header {
  std::uint32_t version = 0;
  const char* name = nullptr;
  Element* const* elements = nullptr;
  void (*query)() = Routine;
  void (*install)(void*) = ElementInstall;
  void (*initialize)() = Routine;
  void (*update)() = Routine;
  void (*generate)(std::uint32_t) = ElementRoutineWithValue;
  void (*draw)() = Routine;
  void (*kill)() = Routine;
  std::uint32_t words40[10] = {};  // reserved, sizes, adjusts, reserved, position, reserved
  MouseRect* mouseRects = nullptr;
  void (*callback)(Header*, std::int32_t, std::uint32_t) = Callback;
  std::uint32_t userData = 0;
  const void* parametersAndUsage[2] = {};
  std::int32_t reserved100 = 0;
  const void* reserved104 = nullptr;
  std::int32_t size[2] = {};
  double userArea[10] = {};
  std::uint32_t words196[7] = {};  // flags, reserved, guid, key id
  const void* callbacks[5] = {};
  std::int32_t originalPosition[2] = {};
};

struct ImportTableRecord {
  std::uint32_t id;
  void* table;
  std::uint32_t terminatorId;
  void* terminator;
};

struct LinkageRecord {
  std::uint32_t id;
  void (*start)();
  void (*stop)();
  std::uint32_t flags;
  std::uint32_t priority;
  std::uint32_t version;
  const void* gauges[2];
};

#pragma pack(pop)

MouseRect mouseRects[3] = {{.type = 1}, {.type = 3}, {.type = 0}};
Header header;
Element element;
Element* elements[2] = {&element, nullptr};
[[maybe_unused]] Header* separateList[2] = {&header, nullptr};

// Fills the header and element before the library's exports are read.
struct Setup {
  Setup() {
#ifdef FAULT_HEADER_VERSION
    header.version = 900;
#else
    header.version = 1000;
#endif
    header.name = "MultiShared";
    header.elements = elements;
    header.mouseRects = mouseRects;
    element.words[1] = 0x1000;
    element.gauge = &header;
#ifdef FAULT_LATE_IMAGE_FLAGS
    element.specialInstrumentation = 0x24;
#else
    element.imageFlags = 0x24;
#endif
  }
} setup;

}  // namespace

extern "C" {
__attribute__((visibility("default"))) ImportTableRecord ImportTable = {0x0F, nullptr, 0, nullptr};
__attribute__((visibility("default"))) LinkageRecord Linkage = {
    0x13,
    Routine,
    Routine,
    0,
    0,
    0x900,
#ifdef FAULT_GAUGE_LIST_POINTER
    {separateList, nullptr},
#else
    {&header, nullptr},
#endif
};
}
