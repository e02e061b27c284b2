// The stand-in's reader of exported records: a 32-bit module image laid out
// byte by byte at the simulator's offsets, the faults it must refuse, and the
// module of this build read in this process through simhost's memory reader.
#include "record_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host_os.h"
#include "module/gauge.h"
#include "module/module.h"
#include "module/module_records.h"
#include "record_layout.h"

namespace {

using standin::ModuleEntry;
using standin::RecordError;

// Memory of a 32-bit module: records placed at fixed addresses from 0x10000000.
class Memory32 {
 public:
  static constexpr std::uint32_t kBase = 0x10000000;
  // Where each record lies.
  static constexpr std::uint32_t kImportTable = kBase;
  static constexpr std::uint32_t kLinkage = kBase + 0x20;
  static constexpr std::uint32_t kHeader = kBase + 0x40;  // 252 bytes
  static constexpr std::uint32_t kName = kBase + 0x140;
  static constexpr std::uint32_t kElementList = kBase + 0x150;
  static constexpr std::uint32_t kElement = kBase + 0x160;  // 96 bytes
  static constexpr std::uint32_t kMouse = kBase + 0x1C0;    // 3 x 44 bytes
  static constexpr std::uint32_t kSpare = kBase + 0x250;
  static constexpr std::uint32_t kLast = kBase + 0x2FC;  // the last word
  static constexpr std::uint32_t kCode = 0x10400000;

  Memory32() : bytes_(0x300, 0) {
    Put(kImportTable, 0x0F);
    Put(kLinkage, 0x13);
    Put(kLinkage + 4, kCode);
    Put(kLinkage + 8, kCode + 0x10);
    Put(kLinkage + 20, 0x900);
    Put(kLinkage + 24, kHeader);
    Put(kHeader, 1000);
    Put(kHeader + 4, kName);
    std::memcpy(&bytes_[kName - kBase], "MultiShared", 12);
    Put(kHeader + 8, kElementList);
    for (std::uint32_t i = 0; i < 7; ++i) Put(kHeader + 12 + 4 * i, kCode + 0x100 + 0x10 * i);
    Put(kHeader + 44, 400);
    Put(kHeader + 80, kMouse);
    Put(kHeader + 84, kCode + 0x200);
    Put(kElementList, kElement);
    Put(kElement + 4, 0x1000);
    Put(kElement + 32, kHeader);
    Put(kElement + 48, 0x24);
    const std::uint32_t types[3] = {1, 3, 0};
    for (std::uint32_t r = 0; r < 3; ++r) {
      Put(kMouse + 44 * r, types[r]);
      Put(kMouse + 44 * r + 20, 0xFFFFFFFF);
    }
  }

  void Put(std::uint32_t address, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes_[address - kBase + i] = static_cast<std::uint8_t>(value >> 8 * i);
  }

  std::variant<ModuleEntry, RecordError> Read() const {
    return standin::ReadModuleRecords(
        kImportTable, kLinkage, 4, [this](std::uintptr_t address, void* out, std::size_t size) {
          if (address < kBase || address - kBase + size > bytes_.size()) return false;
          std::memcpy(out, &bytes_[address - kBase], size);
          return true;
        });
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::string Refusal(const Memory32& memory) {
  const auto read = memory.Read();
  const auto* error = std::get_if<RecordError>(&read);
  return error ? error->what : "(accepted)";
}

TEST(RecordReader, ReadsA32BitModuleAtTheSimulatorsOffsets) {
  const auto read = Memory32().Read();
  ASSERT_TRUE(std::holds_alternative<ModuleEntry>(read)) << std::get<RecordError>(read).what;
  const ModuleEntry& entry = std::get<ModuleEntry>(read);
  EXPECT_EQ(entry.panelsSlot, Memory32::kImportTable + 4);
  EXPECT_EQ(entry.start, Memory32::kCode);
  EXPECT_EQ(entry.stop, Memory32::kCode + 0x10);
  EXPECT_EQ(entry.gauge, Memory32::kHeader);
  EXPECT_EQ(entry.gaugeName, "MultiShared");
  EXPECT_EQ(entry.callback, Memory32::kCode + 0x200);
  for (std::uint32_t i = 0; i < 7; ++i)
    EXPECT_EQ(entry.elementRoutines[i], Memory32::kCode + 0x100 + 0x10 * i);
  EXPECT_EQ(entry.element, Memory32::kElement);
  EXPECT_EQ(entry.mouseRects, Memory32::kMouse);
}

TEST(RecordReader, RefusesEachFaultNamingIt) {
  struct Fault {
    const char* what;
    std::function<void(Memory32&)> plant;
    const char* refusal;
  };
  const Fault faults[] = {
      // A separate list [header, null] with its address at offset 24.
      {"gauge list behind a pointer",
       [](Memory32& m) {
         m.Put(Memory32::kSpare, Memory32::kHeader);
         m.Put(Memory32::kLinkage + 24, Memory32::kSpare);
       },
       "gauge list (offset 24) holds a pointer to a separate list"},
      {"header version", [](Memory32& m) { m.Put(Memory32::kHeader, 900); },
       "gauge header version (offset 0) is 900, not 1000"},
      {"image flags one word late",
       [](Memory32& m) {
         m.Put(Memory32::kElement + 48, 0);
         m.Put(Memory32::kElement + 52, 0x24);
       },
       "element image flags (offset 48) are 0x0, not 0x24 (0x24 lies at offset 52)"},
      {"element not a static image", [](Memory32& m) { m.Put(Memory32::kElement, 2); },
       "element type (offset 0) is 2"},
      {"element back pointer", [](Memory32& m) { m.Put(Memory32::kElement + 32, 0); },
       "element gauge (offset 32) does not point back"},
      // Lists that run to the end of the image without their end marker.
      {"element list without its null",
       [](Memory32& m) {
         m.Put(Memory32::kHeader + 8, Memory32::kLast - 4);
         m.Put(Memory32::kLast - 4, Memory32::kElement);
         m.Put(Memory32::kLast, 7);
       },
       "cannot read the gauge's element list"},
      {"no callback", [](Memory32& m) { m.Put(Memory32::kHeader + 84, 0); },
       "gauge header gauge callback (offset 84) is null"},
      {"no kill routine", [](Memory32& m) { m.Put(Memory32::kHeader + 36, 0); },
       "kill routine (offset 36) is null"},
      {"name out of the image", [](Memory32& m) { m.Put(Memory32::kHeader + 4, 0x20000000); },
       "cannot read gauge name at 0x20000000"},
      {"import id", [](Memory32& m) { m.Put(Memory32::kImportTable, 0x10); },
       "ImportTable import id (offset 0) is 0x10"},
      {"module version", [](Memory32& m) { m.Put(Memory32::kLinkage + 20, 0x800); },
       "Linkage module version (offset 20) is 0x800"},
      {"mouse list without end",
       [](Memory32& m) {
         m.Put(Memory32::kHeader + 80, Memory32::kLast);
         m.Put(Memory32::kLast, 1);
       },
       "cannot read mouse rectangle type"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    Memory32 memory;
    fault.plant(memory);
    EXPECT_NE(Refusal(memory).find(fault.refusal), std::string::npos) << Refusal(memory);
  }
}

// The 64-bit layout derived from the same table (pointer fields 8 bytes,
// packing 8), as a 64-bit stand-in reads it.
TEST(RecordReader, SixtyFourBitSizesFollowFromTheTable) {
  using namespace standin::layout;
  EXPECT_EQ(kImportTable.Size(8), 32u);
  EXPECT_EQ(kLinkage.Size(8), 56u);
  EXPECT_EQ(kGaugeHeader.Size(8), 344u);
  EXPECT_EQ(kStaticImage.Size(8), 144u);
  EXPECT_EQ(kMouseRect.Size(8), 56u);
  EXPECT_EQ(kLinkage.OffsetAt(kLinkage.Index("gauges"), 8), 40u);
  EXPECT_EQ(kGaugeHeader.OffsetAt(kGaugeHeader.Index("callback"), 8), 128u);
  EXPECT_EQ(kGaugeHeader.OffsetAt(kGaugeHeader.Index("user area"), 8), 184u);
  EXPECT_EQ(kGaugeHeader.OffsetAt(kGaugeHeader.Index("serialize size"), 8), 296u);
  EXPECT_EQ(kStaticImage.OffsetAt(kStaticImage.Index("image flags"), 8), 64u);
  EXPECT_EQ(kStaticImage.OffsetAt(kStaticImage.Index("image data"), 8), 80u);
}

// The module of this build, read where it lies in this process, leads to the
// same objects that its own declarations name.
TEST(RecordReader, ReadsThisBuildsModuleInProcess) {
  const auto read = standin::ReadModuleRecords(
      reinterpret_cast<std::uintptr_t>(&ImportTable), reinterpret_cast<std::uintptr_t>(&Linkage),
      sizeof(void*), [](std::uintptr_t address, void* out, std::size_t size) {
        std::memcpy(out, reinterpret_cast<const void*>(address), size);
        return true;
      });
  ASSERT_TRUE(std::holds_alternative<ModuleEntry>(read)) << std::get<RecordError>(read).what;
  const ModuleEntry& entry = std::get<ModuleEntry>(read);
  const GaugeHeader& gauge = multiSharedGauge;
  EXPECT_EQ(entry.panelsSlot, reinterpret_cast<std::uintptr_t>(&ImportTable.panels));
  EXPECT_EQ(entry.start, reinterpret_cast<std::uintptr_t>(&ModuleInit));
  EXPECT_EQ(entry.stop, reinterpret_cast<std::uintptr_t>(&ModuleDeinit));
  EXPECT_EQ(entry.gauge, reinterpret_cast<std::uintptr_t>(&gauge));
  EXPECT_EQ(entry.gaugeName, "MultiShared");
  EXPECT_EQ(entry.callback, reinterpret_cast<std::uintptr_t>(&GaugeCallback));
  EXPECT_EQ(entry.elementRoutines[0], reinterpret_cast<std::uintptr_t>(gauge.queryRoutine));
  EXPECT_EQ(entry.elementRoutines[1], reinterpret_cast<std::uintptr_t>(gauge.installRoutine));
  EXPECT_EQ(entry.elementRoutines[4], reinterpret_cast<std::uintptr_t>(gauge.generateRoutine));
  EXPECT_EQ(entry.elementRoutines[6], reinterpret_cast<std::uintptr_t>(gauge.killRoutine));
  EXPECT_EQ(entry.element, reinterpret_cast<std::uintptr_t>(gauge.elements[0]));
  EXPECT_EQ(entry.mouseRects, reinterpret_cast<std::uintptr_t>(gauge.mouseRects));
}

// simhost reads its own memory through ReadOwnMemory: bytes that are mapped
// arrive unchanged, a page that is gone is a failure, and a Linkage whose gauge
// points there is refused instead of crashing the reader.
TEST(RecordReader, OwnMemoryReaderRefusesAGaugeOnAnUnmappedPage) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  void* gone = ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(gone, MAP_FAILED);
  ASSERT_EQ(::munmap(gone, page), 0);
  const auto goneAddress = reinterpret_cast<std::uintptr_t>(gone);

  const char text[] = "MultiShared";
  char copy[sizeof text] = {};
  EXPECT_TRUE(standin::ReadOwnMemory(reinterpret_cast<std::uintptr_t>(text), copy, sizeof text));
  EXPECT_STREQ(copy, text);
  EXPECT_FALSE(standin::ReadOwnMemory(goneAddress, copy, 4));
  EXPECT_FALSE(standin::ReadOwnMemory(0, copy, 4));

  const auto& linkage = Linkage;
  EXPECT_TRUE(std::holds_alternative<ModuleEntry>(standin::ReadModuleRecords(
      reinterpret_cast<std::uintptr_t>(&ImportTable), reinterpret_cast<std::uintptr_t>(&linkage),
      sizeof(void*), standin::ReadOwnMemory)));
  LinkageRecord faulty = linkage;
  faulty.gauges[0] = reinterpret_cast<GaugeHeader*>(gone);
  const auto read = standin::ReadModuleRecords(reinterpret_cast<std::uintptr_t>(&ImportTable),
                                               reinterpret_cast<std::uintptr_t>(&faulty),
                                               sizeof(void*), standin::ReadOwnMemory);
  ASSERT_TRUE(std::holds_alternative<RecordError>(read));
  EXPECT_NE(std::get<RecordError>(read).what.find("cannot read"), std::string::npos)
      << std::get<RecordError>(read).what;
}

}  // namespace
