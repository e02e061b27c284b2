#include "module_dll_check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <sstream>

namespace module_check {

namespace {

constexpr std::uint32_t kPanelsImportId = 0x0F;
constexpr std::uint32_t kModuleId = 0x13;
constexpr std::uint32_t kModuleVersion = 0x900;
constexpr std::uint32_t kGaugeHeaderVersion = 1000;
constexpr const char* kGaugeName = "MultiShared";
constexpr std::uint32_t kGaugeSizeXmm = 400;
constexpr std::uint32_t kElementResourceId = 0x1000;
constexpr std::uint32_t kElementImageFlags = 0x24;

// The simulator's 32-bit layout of the records (packing 4, 4-byte pointers):
// byte offsets and sizes, as its gauge interface declares them.
namespace at {
// Linkage: the gauge list is inline, header pointers up to a null.
constexpr std::uint32_t kLinkageGaugeList = 24;
constexpr std::uint32_t kLinkageListEnd = 28;
// Gauge header of version 1000.
constexpr std::uint32_t kHeaderSize = 252;
constexpr std::uint32_t kHeaderName = 4;
constexpr std::uint32_t kHeaderElements = 8;
constexpr std::uint32_t kHeaderQuery = 12;  // then install, initialize, update,
constexpr std::uint32_t kHeaderKill = 36;   // generate, draw and kill, 4 bytes apart
constexpr std::uint32_t kHeaderSizeX = 44;
constexpr std::uint32_t kHeaderSizeY = 48;
constexpr std::uint32_t kHeaderMouseRects = 80;
constexpr std::uint32_t kHeaderCallback = 84;
// Static image element: a 60-byte element header and the image's fields.
constexpr std::uint32_t kElementSize = 96;
constexpr std::uint32_t kElementResource = 4;
constexpr std::uint32_t kElementGauge = 32;
constexpr std::uint32_t kElementImageFlags = 48;
// Mouse rectangle.
constexpr std::uint32_t kMouseSize = 44;
constexpr std::uint32_t kMouseCursor = 20;
}  // namespace at

constexpr std::array<const char*, 7> kElementRoutines = {
    "query", "install", "initialize", "update", "generate", "draw", "kill"};
constexpr std::array<std::int32_t, 3> kMouseTypes = {1, 3, 0};

// DLLs that may be asked for: the simulator's client library, the user's UDT
// build, and Windows' own libraries that the module, its static runtime and
// its UPnP client (iphlpapi.dll, to find the network adapters) use.
constexpr std::array<const char*, 9> kAllowedDlls = {
    "simconnect.dll", "udt.dll",    "kernel32.dll", "msvcrt.dll",  "ws2_32.dll",
    "shell32.dll",    "user32.dll", "advapi32.dll", "iphlpapi.dll"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Hex(std::uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
}

class Checker {
 public:
  explicit Checker(const pe::Image& image) : image_(image) {}

  std::vector<Finding> Run() {
    CheckFileKind();
    std::string error;
    const auto exports = image_.Exports(&error);
    if (!exports) {
      Add(false, "export table: " + error);
    } else {
      CheckExports(*exports);
    }
    const auto imports = image_.Imports(&error);
    if (!imports) {
      Add(false, "import table: " + error);
    } else {
      CheckImports(*imports);
    }
    return std::move(findings_);
  }

 private:
  void Add(bool ok, std::string text) { findings_.push_back({ok, std::move(text)}); }

  void CheckFileKind() {
    Add(image_.machine() == pe::kMachineI386,
        "machine is i386 (found " + Hex(image_.machine()) + ")");
    Add(image_.optionalMagic() == pe::kMagicPe32, "optional header is PE32");
    Add((image_.characteristics() & pe::kCharacteristicDll) != 0, "file is a DLL");
  }

  void CheckExports(const std::vector<pe::Export>& exports) {
    std::set<std::string> names;
    for (const auto& e : exports) names.insert(e.name);
    std::string listed;
    for (const auto& name : names) listed += (listed.empty() ? "" : ", ") + name;
    Add(names == std::set<std::string>{"ImportTable", "Linkage"} && exports.size() == 2,
        "exports are exactly ImportTable and Linkage (found: " + listed + ")");
    for (const auto& e : exports) {
      if (e.name == "ImportTable") CheckImportTable(e.rva);
      if (e.name == "Linkage") CheckLinkage(e.rva);
    }
  }

  void CheckImportTable(std::uint32_t rva) {
    const std::array<std::uint32_t, 4> expected = {kPanelsImportId, 0, 0, 0};
    bool ok = !image_.IsCode(rva);
    std::string found;
    for (std::uint32_t i = 0; i < expected.size(); ++i) {
      const auto word = image_.ReadWord(rva + 4 * i);
      ok = ok && word && *word == expected[i];
      found += (i ? " " : "") + (word ? Hex(*word) : std::string("?"));
    }
    Add(ok, "ImportTable words are 0xF 0x0 0x0 0x0 (found " + found + ")");
  }

  // A pointer field of a record: the address it holds, relative to the image.
  std::optional<std::uint32_t> Pointer(std::uint32_t fieldRva) {
    const auto va = image_.ReadWord(fieldRva);
    if (!va || *va == 0) return std::nullopt;
    return image_.VaToRva(*va);
  }

  void CheckLinkage(std::uint32_t rva) {
    const auto id = image_.ReadWord(rva);
    const auto flags = image_.ReadWord(rva + 12);
    const auto priority = image_.ReadWord(rva + 16);
    const auto version = image_.ReadWord(rva + 20);
    Add(id && *id == kModuleId, "Linkage module id is 0x13");
    Add(flags && priority && *flags == 0 && *priority == 0, "Linkage flags and priority are 0");
    Add(version && *version == kModuleVersion, "Linkage module version is 0x900");
    const auto init = Pointer(rva + 4);
    const auto deinit = Pointer(rva + 8);
    Add(init && image_.IsCode(*init), "Linkage start routine points into the code section");
    Add(deinit && image_.IsCode(*deinit), "Linkage stop routine points into the code section");
    CheckGaugeList(rva);
  }

  // The words of a record at `rva` that are not 0, other than those at `set`.
  std::string NonZeroWords(std::uint32_t rva, std::uint32_t size,
                           std::set<std::uint32_t> set) const {
    std::string found;
    for (std::uint32_t offset = 0; offset < size; offset += 4) {
      const auto word = image_.ReadWord(rva + offset);
      if (set.count(offset) == 0 && (!word || *word != 0)) {
        found += (found.empty() ? " (found at " : ", ") + std::to_string(offset);
      }
    }
    return found.empty() ? found : found + ")";
  }

  void CheckGaugeList(std::uint32_t linkage) {
    const auto header = Pointer(linkage + at::kLinkageGaugeList);
    const auto end = image_.ReadWord(linkage + at::kLinkageListEnd);
    // 0 stands for a word that cannot be read: no version or address is 0.
    const std::uint32_t version = header ? image_.ReadWord(*header).value_or(0) : 0;
    // A pointer to a separate list reads as a header that starts with an address.
    const auto inner = header ? Pointer(*header) : std::nullopt;
    const std::uint32_t innerVersion = inner ? image_.ReadWord(*inner).value_or(0) : 0;
    const bool separate = version != kGaugeHeaderVersion && innerVersion == kGaugeHeaderVersion;
    Add(header && !separate && end.value_or(1) == 0,
        "Linkage holds the gauge list inline: the header pointer at 24, the null at 28" +
            std::string(separate ? " (found a pointer to a separate list at 24)" : ""));
    Add(version == kGaugeHeaderVersion, "gauge header version is 1000");
    if (!header || version != kGaugeHeaderVersion) return;
    CheckHeader(*header);
  }

  void CheckHeader(std::uint32_t header) {
    const auto nameRva = Pointer(header + at::kHeaderName);
    const auto name = nameRva ? image_.ReadString(*nameRva) : std::nullopt;
    Add(name && *name == kGaugeName, std::string("gauge name reads \"") + kGaugeName +
                                         "\" (found \"" + name.value_or("?") + "\")");
    std::string notCode;
    for (std::uint32_t i = 0; i < kElementRoutines.size(); ++i) {
      const auto routine = Pointer(header + at::kHeaderQuery + 4 * i);
      if (!routine || !image_.IsCode(*routine)) {
        notCode += std::string(notCode.empty() ? " (not: " : ", ") + kElementRoutines[i];
      }
    }
    Add(notCode.empty(),
        "the seven element routines (offsets 12 to 36) point into the code section" +
            (notCode.empty() ? notCode : notCode + ")"));
    const auto callback = Pointer(header + at::kHeaderCallback);
    Add(callback && image_.IsCode(*callback), "gauge callback points into the code section");
    const auto sizeX = image_.ReadWord(header + at::kHeaderSizeX);
    const auto sizeY = image_.ReadWord(header + at::kHeaderSizeY);
    Add(sizeX == kGaugeSizeXmm && sizeY == 0u, "gauge size is 400 x 0 mm (offsets 44, 48)");
    std::set<std::uint32_t> set = {0,
                                   at::kHeaderName,
                                   at::kHeaderElements,
                                   at::kHeaderSizeX,
                                   at::kHeaderMouseRects,
                                   at::kHeaderCallback};
    for (std::uint32_t offset = at::kHeaderQuery; offset <= at::kHeaderKill; offset += 4) {
      set.insert(offset);
    }
    const std::string headerRest = NonZeroWords(header, at::kHeaderSize, set);
    Add(headerRest.empty(),
        "gauge header fields the module does not set are 0 up to its end at 252" + headerRest);
    Add(image_.IsWritable(header, at::kHeaderSize),
        "gauge header (252 bytes) lies in a writable section");

    const auto list = Pointer(header + at::kHeaderElements);
    const auto element = list ? Pointer(*list) : std::nullopt;
    const auto listEnd = list ? image_.ReadWord(*list + 4) : std::nullopt;
    Add(element && listEnd == 0u, "element list holds one element and its null end");
    if (element) CheckElement(*element, header);
    CheckMouseList(Pointer(header + at::kHeaderMouseRects));
  }

  void CheckElement(std::uint32_t element, std::uint32_t header) {
    const auto type = image_.ReadWord(element);
    const auto resource = image_.ReadWord(element + at::kElementResource);
    Add(type == 0u && resource == kElementResourceId,
        "element is a static image (type 0) of resource 0x1000 (offsets 0, 4)");
    const auto flags = image_.ReadWord(element + at::kElementImageFlags);
    Add(flags == kElementImageFlags, "element image flags are 0x24 at offset 48 (found " +
                                         (flags ? Hex(*flags) : std::string("?")) + ")");
    Add(Pointer(element + at::kElementGauge) == header,
        "element points back to its gauge header (offset 32)");
    const std::set<std::uint32_t> set = {at::kElementResource, at::kElementGauge,
                                         at::kElementImageFlags};
    const std::string elementRest = NonZeroWords(element, at::kElementSize, set);
    Add(elementRest.empty(),
        "element fields the module does not set are 0 up to its end at 96" + elementRest);
    Add(image_.IsWritable(element, at::kElementSize),
        "element (96 bytes) lies in a writable section");
  }

  void CheckMouseList(std::optional<std::uint32_t> rects) {
    bool ok = rects.has_value();
    for (std::uint32_t r = 0; ok && r < kMouseTypes.size(); ++r) {
      const std::uint32_t rect = *rects + r * at::kMouseSize;
      const auto type = image_.ReadWord(rect);
      const auto cursor = image_.ReadWord(rect + at::kMouseCursor);
      ok = type == static_cast<std::uint32_t>(kMouseTypes[r]) && cursor == 0xFFFFFFFFu &&
           NonZeroWords(rect, at::kMouseSize, {0, at::kMouseCursor}).empty();
    }
    Add(ok, "mouse list is types 1, 3, 0 with cursor -1 and 0 elsewhere");
    Add(rects && image_.IsWritable(*rects, 3 * at::kMouseSize),
        "mouse list (3 x 44 bytes) lies in a writable section");
  }

  void CheckImports(const std::vector<pe::Import>& imports) {
    std::set<std::string> dlls;
    for (const auto& import : imports) {
      const std::string dll = Lower(import.dll);
      dlls.insert(dll);
      const bool allowed =
          std::find(kAllowedDlls.begin(), kAllowedDlls.end(), dll) != kAllowedDlls.end();
      Add(allowed, "imports from " + import.dll + (allowed ? "" : ", which is not allowed"));
      if (dll == "simconnect.dll") CheckSimConnectNames(import);
    }
    Add(dlls.count("simconnect.dll") == 1, "needs SimConnect.dll");
    Add(dlls.count("udt.dll") == 1, "needs udt.dll");
  }

  // SimConnect.dll exports plain names; a stdcall-decorated name would not
  // be found when the simulator loads the module.
  void CheckSimConnectNames(const pe::Import& import) {
    std::string bad;
    for (const auto& name : import.functions) {
      if (name.rfind("SimConnect_", 0) != 0 || name.find('@') != std::string::npos) {
        bad += (bad.empty() ? "" : ", ") + name;
      }
    }
    Add(bad.empty(), "SimConnect.dll functions are imported by plain name" +
                         (bad.empty() ? std::string() : " (found: " + bad + ")"));
  }

  const pe::Image& image_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckModuleDll(const pe::Image& image) { return Checker(image).Run(); }

std::vector<Finding> CheckImportsExported(const pe::Image& module, const pe::Image& library,
                                          const std::string& dllName) {
  std::string error;
  const auto imports = module.Imports(&error);
  if (!imports) return {{false, "import table: " + error}};
  const auto exports = library.Exports(&error);
  if (!exports) return {{false, dllName + " export table: " + error}};
  std::set<std::string> exported;
  for (const auto& e : *exports) exported.insert(e.name);

  std::vector<Finding> findings;
  for (const auto& import : *imports) {
    if (Lower(import.dll) != Lower(dllName)) continue;
    for (const auto& name : import.functions) {
      const bool found = exported.count(name) == 1;
      findings.push_back({found, dllName + (found ? " exports " : " does not export ") + name});
    }
  }
  if (findings.empty()) findings.push_back({false, "imports nothing from " + dllName});
  return findings;
}

Finding CheckFrameTablesFindable(const pe::Image& image, const std::string& fileName) {
  const auto& sections = image.sections();
  const bool found = std::any_of(sections.begin(), sections.end(), [](const pe::Section& s) {
    return s.name == ".eh_fram" && s.rawSize > 0;
  });
  return {found, fileName + (found ? " has" : " lacks") +
                     " its unwind tables in a section named .eh_fram"};
}

bool AllPassed(const std::vector<Finding>& findings) {
  return std::all_of(findings.begin(), findings.end(), [](const Finding& f) { return f.ok; });
}

}  // namespace module_check
