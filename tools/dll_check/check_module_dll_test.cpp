// The checker against the real MultiShared.dll (path given on the command
// line): it accepts the file as built, and each single fault planted into a
// copy of it makes exactly the rule about that fault fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module_dll_check.h"
#include "pe_image.h"
#include "windows_floor.h"

namespace {

std::string dllPath;
std::string udtPath;  // the udt.dll to lie beside the module; empty when none was built

std::vector<std::uint8_t> ReadDll(const std::string& path = dllPath) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

pe::Image Parse(std::vector<std::uint8_t> bytes) {
  std::string error;
  auto image = pe::Image::Parse(std::move(bytes), &error);
  EXPECT_TRUE(image) << error;
  return *image;
}

std::vector<std::string> Failures(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> failures;
  for (const auto& f : module_check::CheckModuleDll(Parse(bytes))) {
    if (!f.ok) failures.push_back(f.text);
  }
  return failures;
}

bool AnyContains(const std::vector<std::string>& texts, const std::string& part) {
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

class CheckerOnModule : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = ReadDll();
    ASSERT_FALSE(bytes_.empty()) << "cannot read " << dllPath;
    image_ = std::make_unique<pe::Image>(Parse(bytes_));
    std::string error;
    const auto exports = image_->Exports(&error);
    ASSERT_TRUE(exports) << error;
    for (const auto& e : *exports) {
      if (e.name == "ImportTable") importTable_ = e.rva;
      if (e.name == "Linkage") linkage_ = e.rva;
    }
    ASSERT_NE(importTable_, 0u);
    ASSERT_NE(linkage_, 0u);
    // The records the gauge list leads to, at the simulator's 32-bit offsets.
    header_ = PointerField(linkage_ + 24);
    elementList_ = PointerField(header_ + 8);
    element_ = PointerField(elementList_);
    mouse_ = PointerField(header_ + 80);
  }

  // An aligned run of `words` zero words in .data outside the module's
  // records, where a test can plant a record of its own.
  std::uint32_t SpareWords(std::uint32_t words) const {
    const auto outside = [&](std::uint32_t rva, std::uint32_t begin, std::uint32_t size) {
      return rva + 4 * words <= begin || rva >= begin + size;
    };
    for (const auto& s : image_->sections()) {
      if (s.name != ".data") continue;
      for (std::uint32_t rva = s.virtualAddress; rva + 4 * words <= s.virtualAddress + s.rawSize;
           rva += 4) {
        bool zero = outside(rva, linkage_, 32) && outside(rva, header_, 252) &&
                    outside(rva, element_, 96) && outside(rva, mouse_, 132) &&
                    outside(rva, elementList_, 8);
        for (std::uint32_t w = 0; zero && w < words; ++w)
          zero = *image_->ReadWord(rva + 4 * w) == 0;
        if (zero) return rva;
      }
    }
    ADD_FAILURE() << "no spare words in .data";
    return 0;
  }

  std::size_t Offset(std::uint32_t rva) const {
    const auto at = image_->FileOffset(rva);
    EXPECT_TRUE(at);
    return at.value_or(0);
  }

  std::uint32_t PointerField(std::uint32_t rva) const {
    return *image_->VaToRva(*image_->ReadWord(rva));
  }

  // File offset of a zero-terminated `text` inside the section `name`.
  std::size_t FindInSection(const std::string& name, const std::string& text) const {
    for (const auto& s : image_->sections()) {
      if (s.name != name) continue;
      const auto begin = bytes_.begin() + s.rawOffset;
      const auto end = begin + s.rawSize;
      const auto hit = std::search(begin, end, text.c_str(), text.c_str() + text.size() + 1);
      if (hit != end) return static_cast<std::size_t>(hit - bytes_.begin());
    }
    ADD_FAILURE() << text << " not found in " << name;
    return 0;
  }

  std::vector<std::uint8_t> bytes_;
  std::unique_ptr<pe::Image> image_;
  std::uint32_t importTable_ = 0;
  std::uint32_t linkage_ = 0;
  std::uint32_t header_ = 0;
  std::uint32_t elementList_ = 0;
  std::uint32_t element_ = 0;
  std::uint32_t mouse_ = 0;
};

TEST_F(CheckerOnModule, AcceptsTheBuiltModule) {
  const auto findings = module_check::CheckModuleDll(*image_);
  for (const auto& f : findings) EXPECT_TRUE(f.ok) << f.text;
  // Every rule was looked at: file kind, records, gauge and imports.
  std::vector<std::string> texts;
  for (const auto& f : findings) texts.push_back(f.text);
  for (const char* rule : {"machine is i386",
                           "exports are exactly",
                           "ImportTable words",
                           "module id",
                           "module version",
                           "start routine",
                           "stop routine",
                           "gauge list inline",
                           "header version",
                           "gauge name",
                           "seven element routines",
                           "gauge callback",
                           "gauge size",
                           "gauge header fields",
                           "gauge header (252 bytes) lies in a writable",
                           "element list",
                           "static image",
                           "image flags",
                           "points back",
                           "element fields",
                           "element (96 bytes) lies in a writable",
                           "mouse list is",
                           "mouse list (3 x 44",
                           "needs SimConnect.dll",
                           "needs udt.dll",
                           "plain name"}) {
    EXPECT_TRUE(AnyContains(texts, rule)) << rule;
  }
}

TEST_F(CheckerOnModule, RejectsFileKindFaults) {
  auto amd64 = bytes_;
  // The file header follows the PE signature, whose offset is at 0x3C.
  const std::size_t pe = bytes_[0x3C] | bytes_[0x3D] << 8 | bytes_[0x3E] << 16;
  amd64[pe + 4] = 0x64;
  amd64[pe + 5] = 0x86;
  EXPECT_TRUE(AnyContains(Failures(amd64), "machine is i386"));

  auto program = bytes_;
  program[pe + 4 + 19] &= ~0x20;  // clears the DLL flag (0x2000) of the characteristics
  EXPECT_TRUE(AnyContains(Failures(program), "file is a DLL"));
}

TEST_F(CheckerOnModule, RejectsRecordFaults) {
  auto importId = bytes_;
  PutWord(importId, Offset(importTable_), 0x10);
  EXPECT_TRUE(AnyContains(Failures(importId), "ImportTable words"));

  auto panelsFilled = bytes_;
  PutWord(panelsFilled, Offset(importTable_ + 4), 0x1234);
  EXPECT_TRUE(AnyContains(Failures(panelsFilled), "ImportTable words"));

  auto moduleId = bytes_;
  PutWord(moduleId, Offset(linkage_), 0x14);
  EXPECT_TRUE(AnyContains(Failures(moduleId), "module id"));

  auto version = bytes_;
  PutWord(version, Offset(linkage_ + 20), 0x800);
  EXPECT_TRUE(AnyContains(Failures(version), "module version"));

  // A start routine that points at data instead of code.
  auto start = bytes_;
  PutWord(start, Offset(linkage_ + 4), image_->imageBase() + importTable_);
  const auto startFailures = Failures(start);
  EXPECT_TRUE(AnyContains(startFailures, "start routine"));
  EXPECT_FALSE(AnyContains(startFailures, "stop routine"));

  auto stop = bytes_;
  PutWord(stop, Offset(linkage_ + 8), 0);
  EXPECT_TRUE(AnyContains(Failures(stop), "stop routine"));
}

// The layout faults of a module declared from a wrong reading of the
// simulator's records, each planted alone.
TEST_F(CheckerOnModule, RejectsRecordLayoutFaults) {
  // The gauge list as a pointer to a separate [header, null] array.
  auto listPointer = bytes_;
  const std::uint32_t list = SpareWords(2);
  PutWord(listPointer, Offset(list), image_->imageBase() + header_);
  PutWord(listPointer, Offset(linkage_ + 24), image_->imageBase() + list);
  const auto listFailures = Failures(listPointer);
  EXPECT_TRUE(AnyContains(listFailures, "found a pointer to a separate list at 24"));
  EXPECT_TRUE(AnyContains(listFailures, "header version is 1000"));

  auto unterminated = bytes_;
  PutWord(unterminated, Offset(linkage_ + 28), image_->imageBase() + header_);
  EXPECT_TRUE(AnyContains(Failures(unterminated), "gauge list inline"));

  auto version = bytes_;
  PutWord(version, Offset(header_), 900);
  EXPECT_TRUE(AnyContains(Failures(version), "header version is 1000"));

  // Image flags one word late, where the simulator reads something else.
  auto lateFlags = bytes_;
  PutWord(lateFlags, Offset(element_ + 48), 0);
  PutWord(lateFlags, Offset(element_ + 52), 0x24);
  const auto lateFailures = Failures(lateFlags);
  EXPECT_TRUE(AnyContains(lateFailures, "image flags are 0x24 at offset 48 (found 0x0)"));
  EXPECT_TRUE(AnyContains(lateFailures,
                          "element fields the module does not set are 0 up to its "
                          "end at 96 (found at 52)"));

  // Something of the module's right after a short header or element.
  auto shortHeader = bytes_;
  PutWord(shortHeader, Offset(header_ + 108), 0x1234);
  EXPECT_TRUE(
      AnyContains(Failures(shortHeader), "not set are 0 up to its end at 252 (found at 108)"));
  auto shortElement = bytes_;
  PutWord(shortElement, Offset(element_ + 80), 0x1234);
  EXPECT_TRUE(AnyContains(Failures(shortElement), "end at 96 (found at 80)"));
}

TEST_F(CheckerOnModule, RejectsGaugeValueFaults) {
  auto name = bytes_;
  name[Offset(PointerField(header_ + 4)) + 10] = 'x';
  EXPECT_TRUE(AnyContains(Failures(name), "gauge name"));

  // One word changed, and the rule that must fail.
  const struct {
    std::uint32_t rva;
    std::uint32_t value;
    const char* rule;
  } faults[] = {
      {header_ + 84, 0, "gauge callback"},
      // The generate routine pointing at the header itself.
      {header_ + 28, image_->imageBase() + header_, "(not: generate)"},
      {header_ + 44, 0, "gauge size"},
      {elementList_ + 4, image_->imageBase() + element_, "element list holds one element"},
      {element_ + 4, 0x1001, "static image"},
      {element_ + 32, 0, "points back"},
      // The end-of-parent rectangle without its cursor -1.
      {mouse_ + 44 + 20, 0, "mouse list is types 1, 3, 0"},
  };
  for (const auto& fault : faults) {
    auto copy = bytes_;
    PutWord(copy, Offset(fault.rva), fault.value);
    EXPECT_TRUE(AnyContains(Failures(copy), fault.rule)) << fault.rule;
  }
}

// Records in a section the simulator cannot write to.
TEST_F(CheckerOnModule, RejectsRecordsInReadOnlyMemory) {
  auto readOnly = bytes_;
  const std::size_t pe = bytes_[0x3C] | bytes_[0x3D] << 8 | bytes_[0x3E] << 16;
  const std::size_t optionalSize = bytes_[pe + 20] | bytes_[pe + 21] << 8;
  std::size_t sectionHeader = pe + 24 + optionalSize;
  while (std::string(reinterpret_cast<const char*>(&bytes_[sectionHeader])) !=
         image_->SectionAt(header_)->name) {
    sectionHeader += 40;
  }
  readOnly[sectionHeader + 39] &= 0x7F;  // clears the write flag (0x80000000)
  const auto failures = Failures(readOnly);
  EXPECT_TRUE(AnyContains(failures, "gauge header (252 bytes) lies in a writable section"));
  EXPECT_TRUE(AnyContains(failures, "element (96 bytes) lies in a writable section"));
  EXPECT_TRUE(AnyContains(failures, "mouse list (3 x 44 bytes) lies in a writable section"));
}

TEST_F(CheckerOnModule, RejectsExportAndImportFaults) {
  auto renamed = bytes_;
  renamed[FindInSection(".edata", "Linkage") + 6] = 'f';
  const auto renamedFailures = Failures(renamed);
  EXPECT_TRUE(AnyContains(renamedFailures, "exports are exactly"));
  EXPECT_TRUE(AnyContains(renamedFailures, "Linkagf"));

  // A runtime DLL that would have to lie beside the module in the simulator.
  auto runtime = bytes_;
  runtime[FindInSection(".idata", "udt.dll") + 1] = 'x';
  const auto runtimeFailures = Failures(runtime);
  EXPECT_TRUE(AnyContains(runtimeFailures, "uxt.dll, which is not allowed"));
  EXPECT_TRUE(AnyContains(runtimeFailures, "needs udt.dll"));

  auto decorated = bytes_;
  decorated[FindInSection(".idata", "SimConnect_Close") + 15] = '@';
  EXPECT_TRUE(AnyContains(Failures(decorated), "plain name (found: SimConnect_Clos@)"));
}

// A udt.dll that lacks one name the module imports, or a module that asks for a
// name under another spelling, must fail on exactly that name.
TEST_F(CheckerOnModule, ChecksEveryUdtImportAgainstTheUdtDll) {
  if (udtPath.empty()) GTEST_SKIP() << "no udt.dll was built (no UDT source folder)";
  const auto udtBytes = ReadDll(udtPath);
  ASSERT_FALSE(udtBytes.empty()) << "cannot read " << udtPath;
  const auto failures = [&](const std::vector<std::uint8_t>& module,
                            const std::vector<std::uint8_t>& udt) {
    std::vector<std::string> texts;
    for (const auto& f : module_check::CheckImportsExported(Parse(module), Parse(udt), "udt.dll")) {
      if (!f.ok) texts.push_back(f.text);
    }
    return texts;
  };
  EXPECT_EQ(failures(bytes_, udtBytes), std::vector<std::string>{});

  const std::string send = "_ZN3UDT4sendEiPKcii";
  auto udtWithoutSend = udtBytes;
  const auto at = std::search(udtWithoutSend.begin(), udtWithoutSend.end(), send.c_str(),
                              send.c_str() + send.size() + 1);
  ASSERT_NE(at, udtWithoutSend.end());
  at[8] = 'S';
  EXPECT_EQ(failures(bytes_, udtWithoutSend),
            std::vector<std::string>{"udt.dll does not export " + send});

  auto moduleAsksOtherName = bytes_;
  moduleAsksOtherName[FindInSection(".idata", "_ZN3UDT6listenEii") + 8] = 'L';
  EXPECT_EQ(failures(moduleAsksOtherName, udtBytes),
            std::vector<std::string>{"udt.dll does not export _ZN3UDT6ListenEii"});
}

// The built files load on Windows Vista, for exactly the import the pilots'
// guide names; an import that a later Windows brought fails, naming it.
TEST_F(CheckerOnModule, HoldsTheWindowsVersionFloor) {
  const auto floor = module_check::CheckWindowsFloor(*image_, "MultiShared.dll");
  EXPECT_TRUE(floor.ok);
  EXPECT_EQ(floor.text,
            "MultiShared.dll loads on Windows Vista: it needs Windows Vista or later, for "
            "KERNEL32.dll GetTickCount64 (Windows Vista)");

  auto windows8 = bytes_;
  const std::size_t at = FindInSection(".idata", "GetTickCount64");
  std::memcpy(&windows8[at], "CreateFile2", sizeof "CreateFile2");
  const auto later = module_check::CheckWindowsFloor(Parse(windows8), "MultiShared.dll");
  EXPECT_FALSE(later.ok);
  EXPECT_EQ(later.text,
            "MultiShared.dll does not load on Windows Vista: it needs Windows 8 or later, for "
            "KERNEL32.dll CreateFile2 (Windows 8)");

  if (udtPath.empty()) return;
  const auto udtFloor = module_check::CheckWindowsFloor(Parse(ReadDll(udtPath)), "udt.dll");
  EXPECT_TRUE(udtFloor.ok) << udtFloor.text;
  EXPECT_NE(udtFloor.text.find("KERNEL32.dll GetTickCount64"), std::string::npos) << udtFloor.text;
}

// The section the DLLs find their unwind tables by, renamed, fails the check.
TEST_F(CheckerOnModule, FindsTheUnwindTablesSection) {
  EXPECT_TRUE(module_check::CheckFrameTablesFindable(*image_, "MultiShared.dll").ok);
  // The name in the section table, which lies before the first section's bytes.
  const char kName[] = ".eh_fram";
  auto renamed = bytes_;
  const auto tableEnd = renamed.begin() + image_->sections().front().rawOffset;
  const auto at = std::search(renamed.begin(), tableEnd, kName, kName + 8);
  ASSERT_NE(at, tableEnd);
  at[7] = 'x';
  const auto finding = module_check::CheckFrameTablesFindable(Parse(renamed), "MultiShared.dll");
  EXPECT_FALSE(finding.ok);
  EXPECT_EQ(finding.text, "MultiShared.dll lacks its unwind tables in a section named .eh_fram");
}

TEST(PeImage, RefusesFilesThatAreNoPeImage) {
  std::string error;
  EXPECT_FALSE(pe::Image::Parse({}, &error));
  EXPECT_FALSE(pe::Image::Parse(std::vector<std::uint8_t>(4096, 0), &error));
  EXPECT_EQ(error, "not an MZ executable");

  // An MZ header whose PE header offset points far past the end.
  std::vector<std::uint8_t> farOffset(0x40, 0);
  farOffset[0] = 'M';
  farOffset[1] = 'Z';
  farOffset[0x3F] = 0x7F;
  EXPECT_FALSE(pe::Image::Parse(farOffset, &error));
  EXPECT_EQ(error, "no PE signature");
}

TEST_F(CheckerOnModule, RefusesTruncatedCopies) {
  for (const std::size_t size : {std::size_t{0x200}, bytes_.size() / 2, bytes_.size() - 1}) {
    std::vector<std::uint8_t> cut(bytes_.begin(), bytes_.begin() + size);
    std::string error;
    EXPECT_FALSE(pe::Image::Parse(cut, &error)) << size;
    EXPECT_NE(error.find("runs past the end"), std::string::npos) << error;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s MultiShared.dll [udt.dll]\n", argv[0]);
    return 2;
  }
  dllPath = argv[1];
  if (argc == 3) udtPath = argv[2];
  return RUN_ALL_TESTS();
}
