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
constexpr std::uint32_t kGaugeNameOffset = 4;
constexpr std::uint32_t kGaugeCallbackOffset = 84;
constexpr const char* kGaugeName = "MultiShared";

// DLLs that may be asked for: the simulator's client library, the user's UDT
// build, and Windows' own libraries that the module and its static runtime use.
constexpr std::array<const char*, 8> kAllowedDlls = {
    "simconnect.dll", "udt.dll",     "kernel32.dll", "msvcrt.dll",
    "ws2_32.dll",     "shell32.dll", "user32.dll",   "advapi32.dll"};

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
    CheckGaugeList(rva + 24);
  }

  void CheckGaugeList(std::uint32_t fieldRva) {
    const auto list = Pointer(fieldRva);
    const auto first = list ? Pointer(*list) : std::nullopt;
    const auto end = list ? image_.ReadWord(*list + 4) : std::nullopt;
    Add(first && end && *end == 0, "gauge list holds one gauge header and its end marker");
    if (!first) return;
    const std::uint32_t header = *first;
    const auto version = image_.ReadWord(header);
    Add(version && *version == kGaugeHeaderVersion, "gauge header version is 1000");
    const auto nameRva = Pointer(header + kGaugeNameOffset);
    const auto name = nameRva ? image_.ReadString(*nameRva) : std::nullopt;
    Add(name && *name == kGaugeName, std::string("gauge name reads \"") + kGaugeName +
                                         "\" (found \"" + name.value_or("?") + "\")");
    const auto callback = Pointer(header + kGaugeCallbackOffset);
    Add(callback && image_.IsCode(*callback), "gauge callback points into the code section");
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

bool AllPassed(const std::vector<Finding>& findings) {
  return std::all_of(findings.begin(), findings.end(), [](const Finding& f) { return f.ok; });
}

}  // namespace module_check
