// Reads a loaded module's exported records the way the simulator does: bytes
// at the offsets of record_layout.h, starting from the two addresses the
// loader found (ImportTable and Linkage), through a memory reader the caller
// gives. Nothing here depends on the operating system, so a stand-in on any
// system can use it; the pointer width is that of the module read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace standin {

// Copies `size` bytes at `address` to `out`; false when that memory cannot
// be read. A stand-in that reads its own process passes a reader that fails
// on unmapped memory rather than crashing.
using MemoryReader = std::function<bool(std::uintptr_t address, void* out, std::size_t size)>;

// What the simulator takes from a module that passes every check.
struct ModuleEntry {
  std::uintptr_t panelsSlot = 0;  // the ImportTable word that receives the panel table
  std::uintptr_t start = 0;       // module start and stop routines
  std::uintptr_t stop = 0;
  std::uintptr_t gauge = 0;     // the first gauge header
  std::string gaugeName;        // its name
  std::uintptr_t callback = 0;  // its gauge callback
  // query, install, initialize, update, generate, draw, kill
  std::array<std::uintptr_t, 7> elementRoutines{};
  std::uintptr_t element = 0;  // the gauge's first element
  std::uintptr_t mouseRects = 0;
};

// Why a module is refused, naming the record, the field and its offset.
struct RecordError {
  std::string what;
};

// The values the records must hold for the simulator to run the module.
inline constexpr std::uint32_t kPanelsImportId = 0x0F;
inline constexpr std::uint32_t kModuleId = 0x13;
inline constexpr std::uint32_t kModuleVersion = 0x900;
inline constexpr std::uint32_t kHeaderVersion = 1000;
inline constexpr std::uint32_t kStaticImageType = 0;
// The MultiShared gauge's element asks for a DIB section (0x20) and more.
inline constexpr std::uint32_t kExpectedImageFlags = 0x24;

std::variant<ModuleEntry, RecordError> ReadModuleRecords(std::uintptr_t importTable,
                                                         std::uintptr_t linkage,
                                                         std::size_t pointerSize,
                                                         const MemoryReader& read);

}  // namespace standin
