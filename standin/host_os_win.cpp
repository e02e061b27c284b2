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
  SIZE_T done = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), out, size,
                           &done) != 0 &&
         done == size;
}

bool SetDocumentsFolder(const std::string&) { return false; }

}  // namespace standin
