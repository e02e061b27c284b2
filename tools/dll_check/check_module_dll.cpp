// check_module_dll FILE: reads a built MultiShared.dll and reports, rule by
// rule, whether the simulator can load it. Exit status 0 only when all hold.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module_dll_check.h"
#include "pe_image.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MultiShared.dll\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
  std::string error;
  const auto image = pe::Image::Parse(std::move(bytes), &error);
  if (!image) {
    std::printf("FAIL  %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const auto findings = module_check::CheckModuleDll(*image);
  for (const auto& f : findings) std::printf("%s  %s\n", f.ok ? "ok  " : "FAIL", f.text.c_str());
  const bool passed = module_check::AllPassed(findings);
  std::printf("%s: %s\n", argv[1], passed ? "all checks passed" : "checks FAILED");
  return passed ? 0 : 1;
}
