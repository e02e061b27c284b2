// check_module_dll FILE [UDT_DLL]: reads a built MultiShared.dll and reports,
// rule by rule, whether the simulator can load it; with the udt.dll that is to
// lie beside it, also whether that DLL exports every name the module imports
// from it; the oldest Windows each loads on, and that each can find its own
// unwind tables. Exit status 0 only when all
// hold.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "module_dll_check.h"
#include "pe_image.h"
#include "windows_floor.h"

namespace {

std::optional<pe::Image> Read(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::printf("FAIL  cannot open %s\n", path);
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
  std::string error;
  auto image = pe::Image::Parse(std::move(bytes), &error);
  if (!image) std::printf("FAIL  %s: %s\n", path, error.c_str());
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s MultiShared.dll [udt.dll]\n", argv[0]);
    return 2;
  }
  const auto image = Read(argv[1]);
  if (!image) return 1;
  auto findings = module_check::CheckModuleDll(*image);
  findings.push_back(module_check::CheckWindowsFloor(*image, "MultiShared.dll"));
  findings.push_back(module_check::CheckFrameTablesFindable(*image, "MultiShared.dll"));
  if (argc == 3) {
    const auto udt = Read(argv[2]);
    if (!udt) return 1;
    const auto names = module_check::CheckImportsExported(*image, *udt, "udt.dll");
    findings.insert(findings.end(), names.begin(), names.end());
    findings.push_back(module_check::CheckWindowsFloor(*udt, "udt.dll"));
    findings.push_back(module_check::CheckFrameTablesFindable(*udt, "udt.dll"));
  }
  for (const auto& f : findings) std::printf("%s  %s\n", f.ok ? "ok  " : "FAIL", f.text.c_str());
  const bool passed = module_check::AllPassed(findings);
  std::printf("%s: %s\n", argv[1], passed ? "all checks passed" : "checks FAILED");
  return passed ? 0 : 1;
}
