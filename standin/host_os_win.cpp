#include <float.h>
#include <string.h>
#include <windows.h>

#include "host_os.h"

namespace standin {

std::int64_t MonotonicNs() {
  LARGE_INTEGER count;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const std::int64_t seconds = count.QuadPart / frequency.QuadPart;
  const std::int64_t rest = count.QuadPart % frequency.QuadPart;
  return seconds * 1'000'000'000 + rest * 1'000'000'000 / frequency.QuadPart;
}

void* OpenLibrary(const std::string& path, std::string* error) {
  // The full path, as the simulator names a module of its Gauges folder; the
  // module's own DLLs are then searched beside the simulator's program.
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) *error = "LoadLibrary error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size) {
  // Each page is asked whether it can be read before it is copied, since
  // ReadProcessMemory on the own process fails under Wine in qemu's
  // user-mode emulation, where the emulated addresses are not the host's.
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (address + size < address) return false;
  std::uintptr_t at = address;
  while (at < address + size) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 ||
        (region.Protect & PAGE_GUARD) != 0) {
      return false;
    }
    at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  memcpy(out, reinterpret_cast<const void*>(address), size);
  return true;
}

bool SetDocumentsFolder(const std::string&) { return false; }

bool SetX87SinglePrecision() {
#if defined(__i386__)
  _controlfp(_PC_24, _MCW_PC);
  return true;
#else
  return false;
#endif
}

}  // namespace standin
